// The Win32 clipboard backend against the real clipboard (Wine's, under test), with a second
// process that holds it open or reads back what was written.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
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

// Starts the helper with the given standard input and output (either may be none); returns its
// process handle, nullptr when it cannot start.
HANDLE startHelper(const std::string& arguments, HANDLE input, HANDLE output) {
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = input;
    start.hStdOutput = output;
    start.hStdError = output;
    PROCESS_INFORMATION info = {};
    std::string command = std::string("\"") + GRID_CLIPBOARD_HELPER + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &info));
    if (!info.hProcess) return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Runs the helper and returns what it printed.
std::string helper(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE process = startHelper(arguments, nullptr, writeEnd);
    CloseHandle(writeEnd);
    std::string out;
    char chunk[256];
    DWORD got;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
    if (process) {
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    CloseHandle(readEnd);
    return out;
}

// Another process holding the clipboard open, from the moment the constructor returns with
// holding() true until letGo() or the end of the scope. The helper holds it until its input ends:
// closing the pipe lets go, and the helper then ends by itself; one that does not is ended by its
// handle.
class ClipboardHolder {
public:
    static constexpr DWORD kEndedByTheTest = 99;

    ClipboardHolder() {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE held = CreateEventA(&inherit, TRUE, FALSE, nullptr);
        HANDLE input = nullptr;
        if (!held || !CreatePipe(&input, &release_, &inherit, 0)) {
            ADD_FAILURE() << "no event or pipe for the holder";
            if (held) CloseHandle(held);
            return;
        }
        SetHandleInformation(release_, HANDLE_FLAG_INHERIT, 0);
        process_ = startHelper("hold " + std::to_string(reinterpret_cast<uintptr_t>(held)), input, nullptr);
        CloseHandle(input);
        // Held once the event is set; a helper that cannot open the clipboard ends instead.
        HANDLE either[] = {held, process_};
        holding_ = process_ && WaitForMultipleObjects(2, either, FALSE, 10000) == WAIT_OBJECT_0;
        CloseHandle(held);
    }
    ~ClipboardHolder() { letGo(); }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    bool holding() const { return holding_; }
    // The helper has not ended: it still holds the clipboard.
    bool stillHolding() const { return holding_ && process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    // Lets the clipboard go and returns once the helper has ended, with its exit code (0 when it
    // held until now and let go when told).
    DWORD letGo() {
        if (release_) {
            CloseHandle(release_);
            release_ = nullptr;
        }
        if (process_) {
            if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) {
                TerminateProcess(process_, kEndedByTheTest);
                WaitForSingleObject(process_, INFINITE);
            }
            GetExitCodeProcess(process_, &exitCode_);
            CloseHandle(process_);
            process_ = nullptr;
        }
        return exitCode_;
    }

private:
    HANDLE release_ = nullptr, process_ = nullptr;
    bool holding_ = false;
    DWORD exitCode_ = kEndedByTheTest;  // also when it never started
};

// The Windows clipboard, counting the attempts to open it and calling afterFailedOpen once the
// given number of them has failed.
struct CountedClipboard final : ClipboardPort {
    CountedClipboard(int failures, std::function<void()> then) : callAfterFailures(failures), afterFailedOpen(then) {}
    bool open(WindowHandle owner) override {
        ++attempts;
        if (system.open(owner)) return true;
        if (++failures == callAfterFailures) afterFailedOpen();
        return false;
    }
    bool close() override { return system.close(); }
    uint32_t enumFormats(uint32_t format) override { return system.enumFormats(format); }
    MemoryHandle getData(uint32_t format) override { return system.getData(format); }
    bool empty() override { return system.empty(); }
    MemoryHandle setData(uint32_t format, MemoryHandle block) override { return system.setData(format, block); }
    MemoryHandle globalAlloc(uint32_t flags, size_t bytes) override { return system.globalAlloc(flags, bytes); }
    MemoryHandle globalFree(MemoryHandle block) override { return system.globalFree(block); }
    void* globalLock(MemoryHandle block) override { return system.globalLock(block); }
    bool globalUnlock(MemoryHandle block) override { return system.globalUnlock(block); }
    size_t globalSize(MemoryHandle block) override { return system.globalSize(block); }
    void setLastError(uint32_t code) override { system.setLastError(code); }
    uint32_t lastError() override { return system.lastError(); }
    uint32_t registerFormat(const char* name) override { return system.registerFormat(name); }

    ClipboardPort& system = *systemClipboard();
    int callAfterFailures, failures = 0, attempts = 0;
    std::function<void()> afterFailedOpen;
};

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
    {
        // Let go after the probe's second failed attempt: it waits and opens it on the third.
        ClipboardHolder briefly;
        ASSERT_TRUE(briefly.holding());
        CountedClipboard counted(2, [&] { briefly.letGo(); });
        setClipboardPort(&counted);
        EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);
        setClipboardPort(systemClipboard());
        EXPECT_EQ(counted.attempts, 3);
        EXPECT_EQ(briefly.letGo(), 0u);
    }
    EXPECT_TRUE(this->boxes.codes().empty());

    // Held through both calls, however long their retries take.
    ClipboardHolder throughout;
    ASSERT_TRUE(throughout.holding());
    EXPECT_EQ(probeClipboard<Ch>(), kFailedReported);
    EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "markup")), kFailedReported);
    EXPECT_TRUE(throughout.stillHolding());
    EXPECT_EQ(throughout.letGo(), 0u);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{20, 16}));
    EXPECT_NE(helper("dump").find("1 636F70696564\r\n"), std::string::npos);  // still "copied"
}

}  // namespace
}  // namespace grid::test
