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

// Zenity reads the text of a question as markup.
std::string EscapeMarkup(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else {
            out += c;
        }
    }
    return out;
}

const char* kDiscardLabel = "Discard";
const char* kCancelLabel = "Cancel";

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

std::vector<std::string> ZenityQuestionArguments(const std::string& program, const std::string& title,
                                                 const std::string& text, const std::string& ok_label,
                                                 bool with_discard, unsigned long parent) {
    std::vector<std::string> args{program, "--question", "--title=" + title, "--text=" + EscapeMarkup(text),
                                  "--ok-label=" + ok_label, std::string("--cancel-label=") + kCancelLabel,
                                  "--no-wrap"};
    if (with_discard) args.push_back(std::string("--extra-button=") + kDiscardLabel);
    if (parent != 0) {
        args.push_back("--modal");
        args.push_back("--attach=" + std::to_string(parent));
    }
    return args;
}

std::vector<std::string> KdialogQuestionArguments(const std::string& program, const std::string& title,
                                                  const std::string& text, const std::string& ok_label,
                                                  bool with_discard, unsigned long parent) {
    std::vector<std::string> args{program, "--title", title};
    if (parent != 0) {
        args.push_back("--attach");
        args.push_back(std::to_string(parent));
    }
    args.push_back(with_discard ? "--yesnocancel" : "--yesno");
    args.push_back(text);
    args.push_back("--yes-label");
    args.push_back(ok_label);
    args.push_back("--no-label");
    args.push_back(with_discard ? kDiscardLabel : kCancelLabel);
    if (with_discard) {
        args.push_back("--cancel-label");
        args.push_back(kCancelLabel);
    }
    return args;
}

cdialog_reply QuestionReply(bool kdialog, bool with_discard, int exit_code, const std::string& output) {
    if (exit_code == 0) return Reply_Save;
    if (!with_discard) return Reply_Cancel;
    // kdialog answers "no" with 1; zenity ends with 1 for Cancel too and names an extra
    // button it was closed with on its output.
    if (kdialog) return exit_code == 1 ? Reply_Discard : Reply_Cancel;
    const std::string line = output.substr(0, output.find_first_of("\r\n"));
    return exit_code == 1 && line == kDiscardLabel ? Reply_Discard : Reply_Cancel;
}

cdialog_reply cdialog::AskQuestion(const char* title, const char* text, const char* ok_label,
                                   bool with_discard) {
    last_title = title ? title : "";
    if (!scripted) {
        return AskNativeQuestion(*this, last_title, text ? text : "", ok_label ? ok_label : "OK", with_discard);
    }
    if (scripted_replies.empty()) {
        last_failure = Dialog_NoAnswer;
        return Reply_Cancel;
    }
    cdialog_reply reply = scripted_replies.front();
    scripted_replies.pop_front();
    // A two-button question has no Discard: that answer cancels it.
    if (!with_discard && reply == Reply_Discard) reply = Reply_Cancel;
    last_failure = reply == Reply_Cancel ? Dialog_Cancelled : Dialog_None;
    return reply;
}
