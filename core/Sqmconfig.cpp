#include "core/Sqmconfig.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <vector>

namespace {

// Blanks, tabs, line breaks and the other characters of codes 1 to 32.
bool IsBlank(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Splits a comma-delimited list the lenient way: outside quotes an item also ends at a
// blank, runs of blanks around a comma are skipped, a quoted item runs to its closing quote
// (doubled quotes standing for one), and a comma at the very end adds an empty item.
std::vector<std::string> SplitItems(std::string text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> items;
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n && IsBlank(text[p]))
        ++p;
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            for (++p; p < n; ++p) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        ++p;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p];
            }
        } else {
            const std::size_t begin = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',')
                ++p;
            item = text.substr(begin, p - begin);
        }
        items.push_back(item);
        while (p < n && IsBlank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                items.emplace_back();
            do
                ++p;
            while (p < n && IsBlank(text[p]));
        }
    }
    return items;
}

std::string Trim(const std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ')
        --end;
    return s.substr(begin, end - begin);
}

std::string TrimAndDequote(const std::string& s) {
    std::string trimmed = Trim(s);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
        return trimmed.substr(1, trimmed.size() - 2);
    return trimmed;
}

std::string Quoted(const std::string& s) {
    std::string result = "\"";
    for (const char c : s)
        result += c == '"' ? std::string("\"\"") : std::string(1, c);
    return result + "\"";
}

std::string OrNull(const std::string& s) {
    return s.empty() ? std::string("(null)") : s;
}

std::string Unsigned(std::int32_t value) {
    return std::to_string(static_cast<std::uint32_t>(value));
}

} // namespace

TSQMConfig::TSQMConfig(const std::string& text) {
    const std::vector<std::string> items = SplitItems(text);
    const auto item = [&items](std::size_t i) -> const std::string* {
        return i < items.size() ? &items[i] : nullptr;
    };
    if (const auto* s = item(0))
        Name = TrimAndDequote(*s);
    if (const auto* s = item(1))
        Model = TrimAndDequote(*s);
    if (const auto* s = item(2))
        Host = Trim(*s);
    if (const auto* s = item(3))
        TryStrToInt(*s, Port);
    if (const auto* s = item(4))
        TryStrToInt(*s, Timeout);
    if (const auto* s = item(5))
        ComPort = Trim(*s);
    if (const auto* s = item(6))
        TryStrToInt(*s, BaudRate);
}

std::string TSQMConfig::AsString(bool quote) const {
    const std::string name = quote ? Quoted(Name) : OrNull(Name);
    const std::string model = quote ? Quoted(Model) : OrNull(Model);
    return name + ", " + model + ", " + OrNull(Host) + ", " + std::to_string(Port) + ", " +
           Unsigned(Timeout) + ", " + OrNull(ComPort) + ", " + Unsigned(BaudRate);
}

std::string SettingsFolder() {
    std::string base = UserConfigFolder();
    if (base.empty())
        return {};
    if (!base.ends_with('/'))
        base += '/';
    return base + "Corvatek/Nightlux/3.0";
}

std::string SettingsFileName() {
    const std::string folder = SettingsFolder();
    return folder.empty() ? std::string() : folder + "/nightlux.ini";
}

TSQMConfig ReadSavedConfig(const TIniFile& ini) {
    const std::string text = ini.ReadString("SQM", "Config-1", "");
    return text.empty() ? TSQMConfig() : TSQMConfig(text);
}
