// The portable reader of settings files on any bytes, with the Windows code page 932 and UTF-8:
// every key both programs read, as strings and as numbers, into buffers of the keys' sizes.
#include "platform/CodePage.h"
#include "platform/portable/ProfileReader.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const grid::CodePage& codePage = data[0] & 1 ? grid::codePage932() : grid::utf8CodePage();
    const grid::ProfileFile file(reinterpret_cast<const char*>(data) + 1, size - 1, codePage);
    static const char* const keys[][2] = {{"Log", "Time"},        {"Wait", "ClipWaitCount"}, {"Wait", "ClipWaitTime"},
                                          {"Param", "cell_sep"},  {"Param", "htmlversion"},  {"Locale", "Locale"},
                                          {"PARAM", "CNTL_CHAR"}, {"param", "code_chenge_m1"}};
    for (const auto& key : keys) {
        char narrow[101];
        grid::profileString(&file, key[0], key[1], "default", narrow, sizeof narrow, codePage);
        char tiny[2];
        grid::profileString(&file, key[0], key[1], "", tiny, sizeof tiny, codePage);
        grid::profileInt(&file, key[0], key[1], 20, codePage);
        std::u16string section, name;
        for (const char* p = key[0]; *p; ++p) section.push_back(char16_t(*p));
        for (const char* p = key[1]; *p; ++p) name.push_back(char16_t(*p));
        char16_t wide[101];
        grid::profileString(&file, section.c_str(), name.c_str(), u"", wide, 101);
        grid::profileInt(&file, section.c_str(), name.c_str(), 50);
    }
    return 0;
}
