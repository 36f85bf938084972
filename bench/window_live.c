/* How long a window program takes to show a window that answers: starts
 * COMMAND, waits for a top-level window of its process to be viewable,
 * then asks that window the question a window manager asks to tell a hung
 * program (a _NET_WM_PING client message) and waits for the answer, which
 * the toolkit gives only from a running event loop. Ends the program with
 * SIGTERM after.
 *
 * Usage: window_live TIMEOUT_SECONDS COMMAND [ARG...]   (on $DISPLAY)
 * Prints one line:  mapped SECONDS live SECONDS title TITLE
 * Exit status 0, or 2 when no answering window came within the timeout. */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static long WindowPid(Display *pDisplay, Window w, Atom atomPid)
{
    Atom atomType;
    int nFormat;
    unsigned long nItems, nAfter;
    unsigned char *pData = NULL;
    long nPid = -1;
    if (XGetWindowProperty(pDisplay, w, atomPid, 0, 1, False, XA_CARDINAL, &atomType, &nFormat, &nItems, &nAfter,
                           &pData) == Success &&
        pData && nItems == 1 && nFormat == 32)
        nPid = (long)*(unsigned long *)pData;
    if (pData)
        XFree(pData);
    return nPid;
}

/* A viewable top-level window of process PID, or None. */
static Window FindWindow(Display *pDisplay, pid_t pid, Atom atomPid)
{
    Window root, parent, *arChildren = NULL, wFound = None;
    unsigned int nChildren = 0;
    if (!XQueryTree(pDisplay, DefaultRootWindow(pDisplay), &root, &parent, &arChildren, &nChildren))
        return None;
    for (unsigned int i = 0; i < nChildren && wFound == None; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(pDisplay, arChildren[i], &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect && WindowPid(pDisplay, arChildren[i], atomPid) == (long)pid)
            wFound = arChildren[i];
    }
    if (arChildren)
        XFree(arChildren);
    return wFound;
}

static int s_bErrors;
static int OnError(Display *pDisplay, XErrorEvent *pEvent)
{
    /* A window may go between the listing and the question. */
    (void)pDisplay, (void)pEvent;
    s_bErrors = 1;
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: window_live TIMEOUT_SECONDS COMMAND [ARG...]\n");
        return 2;
    }
    const double tTimeout = atof(argv[1]);
    Display *pDisplay = XOpenDisplay(NULL);
    if (!pDisplay) {
        fprintf(stderr, "window_live: no display\n");
        return 2;
    }
    XSetErrorHandler(OnError);
    const Window root = DefaultRootWindow(pDisplay);
    const Atom atomPid = XInternAtom(pDisplay, "_NET_WM_PID", False);
    const Atom atomProtocols = XInternAtom(pDisplay, "WM_PROTOCOLS", False);
    const Atom atomPing = XInternAtom(pDisplay, "_NET_WM_PING", False);
    /* The answer comes to the root window. */
    XSelectInput(pDisplay, root, SubstructureNotifyMask);
    XSync(pDisplay, False);

    const double tStart = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(ConnectionNumber(pDisplay));
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int nStatus = 2;
    double tMapped = -1, tLive = -1;
    Window w = None;
    while (Now() - tStart < tTimeout && waitpid(pid, NULL, WNOHANG) == 0) {
        if (w == None && (w = FindWindow(pDisplay, pid, atomPid)) != None) {
            tMapped = Now() - tStart;
            XEvent ping;
            memset(&ping, 0, sizeof ping);
            ping.xclient.type = ClientMessage;
            ping.xclient.window = w;
            ping.xclient.message_type = atomProtocols;
            ping.xclient.format = 32;
            ping.xclient.data.l[0] = (long)atomPing;
            ping.xclient.data.l[1] = CurrentTime;
            ping.xclient.data.l[2] = (long)w;
            XSendEvent(pDisplay, w, False, NoEventMask, &ping);
            XFlush(pDisplay);
        }
        while (XPending(pDisplay)) {
            XEvent event;
            XNextEvent(pDisplay, &event);
            if (w != None && event.type == ClientMessage && event.xclient.message_type == atomProtocols &&
                (Atom)event.xclient.data.l[0] == atomPing && (Window)event.xclient.data.l[2] == w)
                tLive = Now() - tStart;
        }
        if (tLive >= 0)
            break;
        usleep(2000);
    }
    if (tLive >= 0) {
        char *pszTitle = NULL;
        XFetchName(pDisplay, w, &pszTitle);
        printf("mapped %.3f live %.3f title %s\n", tMapped, tLive, pszTitle ? pszTitle : "");
        if (pszTitle)
            XFree(pszTitle);
        nStatus = 0;
    } else {
        fprintf(stderr, "window_live: %s\n",
                w == None ? "no window was shown" : "the window did not answer");
    }
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
    XCloseDisplay(pDisplay);
    return nStatus;
}
