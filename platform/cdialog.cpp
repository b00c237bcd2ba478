#include "platform/cdialog.h"

#include <cctype>
#include <cstring>

#include "platform/cdialog_native.h"

namespace {

const char* kOpenTitle = "Select File to load";
const char* kSaveTitle = "Select File to save";

std::string LowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string UpperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string JoinPatterns(const cdialog_filter& f) {
    std::string out;
    for (const std::string& p : f.patterns) {
        for (const std::string& v : PatternCaseVariants(p)) {
            if (!out.empty()) out += ' ';
            out += v;
        }
    }
    return out;
}

char* NewPathBuffer(char** path) {
    char* buffer = new char[kDialogPathBufferSize];
    buffer[0] = 0;
    *path = buffer;
    return buffer;
}

bool StoreAnswer(cdialog& d, const std::string& chosen, char* buffer) {
    if (chosen.empty()) {
        d.last_failure = Dialog_Cancelled;
        return false;
    }
    if (chosen.size() >= kDialogPathBufferSize) {
        d.last_failure = Dialog_PathTooLong;
        return false;
    }
    std::memcpy(buffer, chosen.c_str(), chosen.size() + 1);
    d.last_failure = Dialog_None;
    return true;
}

bool ShowDialog(cdialog& d, bool save, const char* title, char* filter, char** path) {
    char* buffer = NewPathBuffer(path);
    d.last_title = title;

    if (d.scripted) {
        if (d.scripted_answers.empty()) {
            d.last_failure = Dialog_NoAnswer;
            return false;
        }
        cdialog_answer answer = d.scripted_answers.front();
        d.scripted_answers.pop_front();
        if (!answer.confirmed) {
            d.last_failure = Dialog_Cancelled;
            return false;
        }
        return StoreAnswer(d, answer.path, buffer);
    }

    const cdialog_choice choice = ShowNativeChooser(d, save, title, filter);
    if (choice.failure != Dialog_None) {
        d.last_failure = choice.failure;
        return false;
    }
    return StoreAnswer(d, choice.path, buffer);
}

}  // namespace

std::vector<cdialog_filter> ParseDialogFilter(const char* filter) {
    std::vector<cdialog_filter> out;
    if (!filter) return out;
    const char* p = filter;
    while (*p) {
        cdialog_filter f;
        f.description = p;
        p += f.description.size() + 1;
        std::string list = p;
        p += list.size() + 1;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(';', start);
            if (end == std::string::npos) end = list.size();
            std::string pattern = list.substr(start, end - start);
            if (!pattern.empty()) f.patterns.push_back(pattern);
            start = end + 1;
        }
        out.push_back(f);
        if (list.empty()) break;  // a description without its pattern ends the list
    }
    return out;
}

std::vector<std::string> PatternCaseVariants(const std::string& pattern) {
    std::vector<std::string> out{pattern};
    for (const std::string& v : {UpperCase(pattern), LowerCase(pattern)}) {
        bool known = false;
        for (const std::string& o : out) known = known || o == v;
        if (!known) out.push_back(v);
    }
    return out;
}

std::vector<std::string> ZenityArguments(const std::string& program, bool save,
                                         const std::string& title,
                                         const std::vector<cdialog_filter>& filters,
                                         const std::string& start_dir, unsigned long parent) {
    std::vector<std::string> args{program, "--file-selection", "--title=" + title};
    if (save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    std::string dir = start_dir;
    if (dir.empty() || dir.back() != '/') dir += '/';
    args.push_back("--filename=" + dir);
    for (const cdialog_filter& f : filters) {
        if (f.patterns.empty()) continue;
        args.push_back("--file-filter=" + f.description + " | " + JoinPatterns(f));
    }
    if (parent != 0) {
        args.push_back("--modal");
        args.push_back("--attach=" + std::to_string(parent));
    }
    return args;
}

std::vector<std::string> KdialogArguments(const std::string& program, bool save,
                                          const std::string& title,
                                          const std::vector<cdialog_filter>& filters,
                                          const std::string& start_dir, unsigned long parent) {
    std::vector<std::string> args{program, "--title", title};
    if (parent != 0) {
        args.push_back("--attach");
        args.push_back(std::to_string(parent));
    }
    args.push_back(save ? "--getsavefilename" : "--getopenfilename");
    args.push_back(start_dir.empty() ? "/" : start_dir);
    std::string list;
    for (const cdialog_filter& f : filters) {
        if (f.patterns.empty()) continue;
        if (!list.empty()) list += '\n';
        list += JoinPatterns(f) + "|" + f.description;
    }
    args.push_back(list);
    return args;
}

cdialog::cdialog(morva::Window* owner_window) : owner(owner_window) {}

cdialog::~cdialog() {}

bool cdialog::ShowOpenDialog(char* filter, char** path) {
    return ShowDialog(*this, false, kOpenTitle, filter, path);
}

bool cdialog::ShowSaveDialog(char* filter, char** path) {
    return ShowDialog(*this, true, kSaveTitle, filter, path);
}
