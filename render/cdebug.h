// cdebug: the on-screen message log. Keeps every status line the editor adds, with its kind,
// and draws a translucent panel in the lower left with the tabs "Info", "Error" and
// "Warning", listing the newest 9 lines of the selected kind. Tabs switch on a left click.
// It copies message texts (callers need not keep them alive), never removes a line and
// reads input only through Cinput's click report.
#pragma once

#include <memory>
#include <string>
#include <vector>

class Ctext;
class Cinput;

// Message kinds; the tab numbers run the other way (tab 0 Info, 1 Error, 2 Warning).
enum Debug_type {
    Debug_Warning = 0,
    Debug_Error = 1,
    Debug_Info = 2,
};

class cdebug {
public:
    // One message of the log.
    struct chunk {
        std::string text;
        Debug_type kind;
    };

    cdebug(Ctext* text, Cinput* input);
    ~cdebug();
    cdebug(const cdebug&) = delete;
    cdebug& operator=(const cdebug&) = delete;

    // Appends a line (the text is copied); it shows from the next Render on.
    void AddLine(const char* text, Debug_type kind);

    // Draws the tabs, the panel and the newest lines of the selected kind, and switches tabs
    // on a left click. `mouse` is the cursor in interface pixels (x, y downwards); may be null.
    void Render(float* mouse);

    std::vector<std::unique_ptr<chunk>> lines;  // oldest first
    Ctext* txt;
    Cinput* input;
    int selected_tab;
};
