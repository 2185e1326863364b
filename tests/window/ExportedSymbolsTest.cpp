// The program's dynamic symbol table carries the classes and functions it exports, under
// their own names, and nothing else of the program's.
#include <cstdio>
#include <gmock/gmock.h>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> DefinedDynamicSymbols(const std::string& program) {
    std::vector<std::string> symbols;
    const std::string command = "nm -DC --defined-only '" + program + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return symbols;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text = line;
        text.erase(text.find_last_not_of("\r\n") + 1);
        // "address type name"
        const std::size_t name = text.find(' ', text.find(' ') + 1);
        if (name != std::string::npos)
            symbols.push_back(text.substr(name + 1));
    }
    pclose(pipe);
    return symbols;
}

bool AnyContains(const std::vector<std::string>& symbols, const std::string& part) {
    for (const std::string& symbol : symbols)
        if (symbol.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(ExportedSymbols, TheProgramExportsItsInterfaceUnderItsOwnNames) {
    const std::vector<std::string> symbols = DefinedDynamicSymbols(NIGHTLUX_EXECUTABLE);
    ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << NIGHTLUX_EXECUTABLE;
    for (const char* part :
         {"astro::TJde::TJde(", "astro::TJde::GetMDY(", "astro::TJde::AsString[abi:cxx11](",
          "TTimeZoneInfo::", "SystemTimeToJde(SYSTEMTIME const&", "SystemTimeAsString",
          "TSerialComm::Connect(", "typeinfo for ESerial", "TSQMConfig::AsString[abi:cxx11](bool)",
          "TSQMConfig::TSQMConfig(", "TVersionInfo::GetBuild(", "TVersionInfo::TVersionInfo(",
          "TAutoCursor::TAutoCursor(", "TAutoCursor::~TAutoCursor()"})
        EXPECT_TRUE(AnyContains(symbols, part)) << part;
}

TEST(ExportedSymbols, NothingElseOfTheProgramLeavesIt) {
    // The exported classes and the exception bases their type information needs; the
    // rest belongs to the libraries (the C++ library's and Qt's inline functions, which a
    // build without inlining emits, the sanitizers' runtime) and to the linker.
    const std::regex allowed(
        R"(^(typeinfo for |typeinfo name for |vtable for )?)"
        R"((astro::|TTimeZoneInfo|TSerialComm|ESerial|TSQMConfig|TVersionInfo|TAutoCursor|)"
        R"(SystemTimeToJde|SystemTimeAsString|Exception\b|EConvertError\b|)"
        R"((.+ )?(std|__gnu_cxx)::|(.+ )?Q[A-Z][A-Za-z0-9_]*(<.*>)?(::|$)|)"
        R"(__(asan|ubsan|lsan|sanitizer)|\S+@GLIBC_[0-9.]+$|)"
        R"((_start|_end|_edata|__bss_start|__data_start|data_start|_IO_stdin_used|_init|_fini)$))");
    for (const std::string& symbol : DefinedDynamicSymbols(NIGHTLUX_EXECUTABLE))
        EXPECT_TRUE(std::regex_search(symbol, allowed)) << symbol;
}

} // namespace
