#include "app/key_names.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/window.h"

namespace {

struct NamedKey {
    const char* name;
    int code;
};

const NamedKey kNamedKeys[] = {
    {"left", morva::kVkLeftButton},
    {"middle", morva::kVkMiddleButton},
    {"right", morva::kVkRightButton},
    {"escape", morva::kVkEscape},
    {"esc", morva::kVkEscape},
    {"enter", morva::kVkEnter},
    {"return", morva::kVkEnter},
    {"tab", morva::kVkTab},
    {"space", morva::kVkSpace},
    {"backspace", morva::kVkBackspace},
    {"insert", morva::kVkInsert},
    {"delete", morva::kVkDelete},
    {"del", morva::kVkDelete},
    {"home", morva::kVkHome},
    {"end", morva::kVkEnd},
    {"pageup", morva::kVkPageUp},
    {"pagedown", morva::kVkPageDown},
    {"arrowleft", morva::kVkLeft},
    {"arrowright", morva::kVkRight},
    {"arrowup", morva::kVkUp},
    {"arrowdown", morva::kVkDown},
    {"plus", morva::kVkPlus},
    {"minus", morva::kVkMinus},
    {"comma", morva::kVkComma},
    {"period", morva::kVkPeriod},
    {"numadd", morva::kVkNumpadAdd},
    {"numsubtract", morva::kVkNumpadSubtract},
    {"numdecimal", morva::kVkNumpadDecimal},
    {"shift", morva::kVkShift},
    {"ctrl", morva::kVkControl},
    {"control", morva::kVkControl},
    {"alt", morva::kVkAlt},
};

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& ch : out) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

// "f1".."f12" -> 0x70.., "num0".."num9" -> 0x60..; -1 otherwise.
int NumberedKey(const std::string& lower) {
    int first = 0, count = 0;
    size_t prefix = 0;
    if (lower.size() >= 2 && lower[0] == 'f') {
        first = 0x70, count = 12, prefix = 1;
    } else if (lower.size() == 4 && lower.compare(0, 3, "num") == 0) {
        first = 0x60, count = 10, prefix = 3;
    } else {
        return -1;
    }
    int n = 0;
    for (size_t i = prefix; i < lower.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(lower[i])) || n > 99) return -1;
        n = n * 10 + (lower[i] - '0');
    }
    const int index = prefix == 1 ? n - 1 : n;
    return index >= 0 && index < count ? first + index : -1;
}

int ModifierBit(int code) {
    if (code == morva::kVkShift) return morva::kModShift;
    if (code == morva::kVkControl) return morva::kModCtrl;
    if (code == morva::kVkAlt) return morva::kModAlt;
    return 0;
}

}  // namespace

int KeyCodeFromName(const std::string& name) {
    if (name.size() == 1) {
        const char ch = char(std::toupper(static_cast<unsigned char>(name[0])));
        if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return ch;
        return -1;
    }
    // Capitalised arrow names are keys; "left" and "right" in lower case stay the buttons.
    if (name == "Left") return morva::kVkLeft;
    if (name == "Right") return morva::kVkRight;
    if (name == "Up") return morva::kVkUp;
    if (name == "Down") return morva::kVkDown;
    const std::string lower = Lower(name);
    for (const NamedKey& k : kNamedKeys) {
        if (lower == k.name) return k.code;
    }
    const int numbered = NumberedKey(lower);
    if (numbered >= 0) return numbered;
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) return -1;
    errno = 0;
    char* end = nullptr;
    const long code = std::strtol(name.c_str(), &end, 10);
    if (errno != 0 || !end || *end != 0 || code < 10 || code > 255) return -1;
    return int(code);
}

bool ParseKeyChord(const std::string& text, KeyChord* chord) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t plus = text.find('+', start);
        parts.push_back(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    KeyChord result;
    for (size_t i = 0; i < parts.size(); ++i) {
        const int code = KeyCodeFromName(parts[i]);
        if (code < 0) return false;
        const bool last = i + 1 == parts.size();
        if (last) {
            result.key = code;
        } else {
            const int bit = ModifierBit(code);
            if (bit == 0) return false;  // only modifiers come before the key
            result.modifiers |= bit;
        }
    }
    if (chord) *chord = result;
    return true;
}

std::vector<int> ModifierKeyCodes(int modifiers) {
    std::vector<int> codes;
    if (modifiers & morva::kModCtrl) codes.push_back(morva::kVkControl);
    if (modifiers & morva::kModShift) codes.push_back(morva::kVkShift);
    if (modifiers & morva::kModAlt) codes.push_back(morva::kVkAlt);
    return codes;
}
