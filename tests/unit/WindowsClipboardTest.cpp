// The Win32 clipboard backend against the real clipboard (Wine's, under test), with a second
// process that holds it open or reads back what was written.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "clipboard/Clipboard.h"
#include "core/Settings.h"
#include "platform/Clipboard.h"
#include "platform/CodePage.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

// Puts formats on the clipboard as another program would.
void putFormats(const std::vector<std::pair<UINT, std::string>>& formats) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    for (const auto& [format, bytes] : formats) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        SetClipboardData(format, block);
    }
    CloseClipboard();
}

std::string unicodeBytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) bytes += char(unit & 0xFF), bytes += char(unit >> 8);
    return bytes + std::string(2, '\0');
}

// Runs the helper and returns what it printed.
std::string helper(const std::string& arguments, bool wait = true, HANDLE* process = nullptr) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    std::string command = std::string("\"") + GRID_CLIPBOARD_HELPER + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &info));
    CloseHandle(writeEnd);
    CloseHandle(info.hThread);
    std::string out;
    if (wait) {
        char chunk[256];
        DWORD got;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    } else {
        *process = info.hProcess;
    }
    CloseHandle(readEnd);
    return out;
}

// Another process holds the clipboard open; returns once it does.
HANDLE holdClipboard(int milliseconds) {
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "GridClipboardHeld");
    ResetEvent(held);
    HANDLE process = nullptr;
    helper("hold " + std::to_string(milliseconds), false, &process);
    EXPECT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    CloseHandle(held);
    return process;
}

template <class Ch>
class WindowsClipboardTest : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetSettings<Ch>();
        settings<Ch>().clipWaitCount = 20;
        settings<Ch>().clipWaitTime = 50;
        setClipboardPort(systemClipboard());
    }
    void TearDown() override {
        setClipboardPort(nullptr);
        CoreTest<Ch>::TearDown();
    }
    std::string read() {
        Ch* copy = nullptr;
        EXPECT_EQ(readClipboardText<Ch>(&copy), kOk);
        if (!copy) return "";
        std::string text;
        if constexpr (sizeof(Ch) == 1)
            text = copy;
        else
            text = utf16ToUtf8(copy, textLength(copy));
        releaseArray(copy);
        return text;
    }
};

TYPED_TEST_SUITE(WindowsClipboardTest, CharTypes);

TYPED_TEST(WindowsClipboardTest, ProbeAndReadWhatAnotherProgramPut) {
    using Ch = TypeParam;
    putFormats({{CF_UNICODETEXT, unicodeBytes(u"a\tb\r\nc")}});
    EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);
    EXPECT_EQ(this->read(), "a\tb\r\nc");

    putFormats({{CF_TEXT, std::string("\x93\xFA\x96\x7B\0", 5)}});  // code page 932
    EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);
    EXPECT_EQ(this->read(), sizeof(Ch) == 1 ? "\x93\xFA\x96\x7B" : "日本");

    putFormats({{CF_TEXT, std::string("x\0", 2)}, {CF_SYLK, "ID;PCALCOOO32\r\nC;X1;Y1;K\"x\"\r\nE\r\n"}});
    EXPECT_EQ(probeClipboard<Ch>(), kSpreadsheetData);
    putFormats({{CF_TEXT, std::string("x\0", 2)}, {CF_SYLK, "ID;PWXL;N;E"}});
    EXPECT_EQ(probeClipboard<Ch>(), kSpreadsheetData);
    putFormats({{CF_TEXT, std::string("x\0", 2)}, {CF_SYLK, "ID;PSCALC3"}});
    EXPECT_NE(probeClipboard<Ch>(), kSpreadsheetData);
    putFormats({{CF_SYLK, "ID;PCALC"}});
    EXPECT_EQ(probeClipboard<Ch>(), kNothingUsable);
    putFormats({{CF_BITMAP + 0x200, "private"}});
    EXPECT_EQ(probeClipboard<Ch>(), kNothingUsable);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{24, 23}));

    putFormats({{sizeof(Ch) == 1 ? CF_TEXT : CF_UNICODETEXT, sizeof(Ch) == 1 ? "abc" : std::string("a\0b\0", 4)}});
    // No NUL: nothing past the block's end is read (Wine itself drops the last character).
    const std::string whole = sizeof(Ch) == 1 ? "abc" : "ab";
    EXPECT_EQ(whole.rfind(this->read(), 0), 0u);
}

TYPED_TEST(WindowsClipboardTest, WrittenMarkupIsReadBackByAnotherProcess) {
    using Ch = TypeParam;
    putFormats({{CF_TEXT, std::string("old\0", 4)}});
    if constexpr (sizeof(Ch) == 1) {
        ASSERT_EQ(writeClipboard<char>("|\x93\xFA|\r\n"), kOk);
        const std::string dumped = helper("dump");
        EXPECT_NE(dumped.find("1 7C93FA7C0D0A\r\n"), std::string::npos) << dumped;
        EXPECT_NE(dumped.find("13 7C00E5657C000D000A00\r\n"), std::string::npos) << dumped;
    } else {
        ASSERT_EQ(writeClipboard<char16_t>(u"<TD>日本</TD>"), kOk);
        const std::string dumped = helper("dump");
        EXPECT_NE(dumped.find("13 3C00540044003E00E5652C673C002F00540044003E00\r\n"), std::string::npos) << dumped;
        EXPECT_NE(dumped.find("1 3C54443E93FA967B3C2F54443E\r\n"), std::string::npos) << dumped;
    }
    EXPECT_TRUE(this->boxes.codes().empty());
}

TYPED_TEST(WindowsClipboardTest, AnotherProcessHoldingTheClipboard) {
    using Ch = TypeParam;
    putFormats({{CF_TEXT, std::string("copied\0", 7)}});
    HANDLE briefly = holdClipboard(500);
    EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);  // waits it out
    WaitForSingleObject(briefly, INFINITE);
    CloseHandle(briefly);
    EXPECT_TRUE(this->boxes.codes().empty());

    HANDLE long1 = holdClipboard(2000);
    EXPECT_EQ(probeClipboard<Ch>(), kFailedReported);
    EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "markup")), kFailedReported);
    WaitForSingleObject(long1, INFINITE);
    CloseHandle(long1);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{20, 16}));
    EXPECT_NE(helper("dump").find("1 636F70696564\r\n"), std::string::npos);  // still "copied"
}

}  // namespace
}  // namespace grid::test
