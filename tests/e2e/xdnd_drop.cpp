// Test helper of the real-window checks: drops files onto an X11 window the way a file
// manager does (the XDND protocol, version 5): enter, position, drop, then hands over the
// file list as text/uri-list when the window asks for it.
// usage: xdnd_drop WINDOW_ID X Y FILE...   (X, Y: screen position of the drop)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>

static Atom A(Display* d, const char* name) { return XInternAtom(d, name, False); }

static void Send(Display* d, Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, to, False, NoEventMask, &e);
    XFlush(d);
}

// Appends "file://" + the path with bytes outside a safe set percent-encoded, and CR LF.
static void AppendUri(char* out, size_t cap, const char* path) {
    size_t n = strlen(out);
    n += (size_t)snprintf(out + n, cap - n, "file://");
    for (const unsigned char* p = (const unsigned char*)path; *p && n + 4 < cap; ++p) {
        if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || strchr("/-_.~", *p)) {
            out[n++] = (char)*p;
        } else {
            n += (size_t)snprintf(out + n, cap - n, "%%%02X", *p);
        }
    }
    if (n + 3 < cap) { out[n++] = '\r'; out[n++] = '\n'; }
    out[n] = 0;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: xdnd_drop WINDOW_ID X Y FILE...\n");
        return 2;
    }
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xdnd_drop: no display\n");
        return 1;
    }
    const Window target = (Window)strtoul(argv[1], NULL, 0);
    const int x = atoi(argv[2]), y = atoi(argv[3]);
    static char uris[65536];
    uris[0] = 0;
    for (int i = 4; i < argc; ++i) AppendUri(uris, sizeof uris, argv[i]);

    const Window src = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    const Atom selection = A(d, "XdndSelection"), uri_list = A(d, "text/uri-list");
    XSetSelectionOwner(d, selection, src, CurrentTime);
    Send(d, target, A(d, "XdndEnter"), (long)src, 5L << 24, (long)uri_list, None, None);
    Send(d, target, A(d, "XdndPosition"), (long)src, 0, ((long)x << 16) | y, CurrentTime, (long)A(d, "XdndActionCopy"));

    int dropped = 0;
    for (int waited = 0; waited < 100;) {
        if (!XPending(d)) {
            struct timeval tv = {0, 100000};
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(ConnectionNumber(d), &fds);
            if (select(ConnectionNumber(d) + 1, &fds, NULL, NULL, &tv) == 0) ++waited;
            continue;
        }
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == ClientMessage && e.xclient.message_type == A(d, "XdndStatus") && !dropped) {
            if (!(e.xclient.data.l[1] & 1)) {
                fprintf(stderr, "xdnd_drop: the window does not accept the drop\n");
                return 1;
            }
            Send(d, target, A(d, "XdndDrop"), (long)src, 0, CurrentTime, 0, 0);
            dropped = 1;
        } else if (e.type == SelectionRequest) {
            XSelectionRequestEvent* r = &e.xselectionrequest;
            XEvent reply;
            memset(&reply, 0, sizeof reply);
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = r->requestor;
            reply.xselection.selection = r->selection;
            reply.xselection.target = r->target;
            reply.xselection.time = r->time;
            reply.xselection.property = None;
            if (r->target == uri_list) {
                XChangeProperty(d, r->requestor, r->property, uri_list, 8, PropModeReplace,
                                (const unsigned char*)uris, (int)strlen(uris));
                reply.xselection.property = r->property;
            }
            XSendEvent(d, r->requestor, False, NoEventMask, &reply);
            XFlush(d);
        } else if (e.type == ClientMessage && e.xclient.message_type == A(d, "XdndFinished")) {
            XCloseDisplay(d);
            return 0;
        }
    }
    fprintf(stderr, "xdnd_drop: no answer from the window (%s)\n", dropped ? "after the drop" : "no status");
    return 1;
}
