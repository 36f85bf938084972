#!/usr/bin/env python3
"""Runs COMMAND as GNU time would, but counts the CPU time of every process
it starts, also of forked workers whose parent let the kernel reap them
(time's %U %S lose those): a task-clock counter the kernel sums over the
command's whole process tree, or, where perf events are not allowed, the
usage of every process waited for, as the reaper of those orphaned.
Writes to OUTFILE one line "wall maxrss status user sys": wall seconds from
the start to the command's own end, the largest peak RSS in KiB of any of
its processes waited for, its exit status, and CPU seconds (all in "user"
with the counter, "sys" then 0).
Usage: reap.py OUTFILE COMMAND [ARG...]"""
import ctypes, os, resource, struct, sys, time

PR_SET_CHILD_SUBREAPER = 36
SYS_PERF_EVENT_OPEN = 298  # x86_64

def task_clock(libc, pid):
    """A counter of PID's CPU time and its descendants', from its exec on."""
    if os.uname().machine != "x86_64":
        return -1
    # perf_event_attr: PERF_TYPE_SOFTWARE, PERF_COUNT_SW_TASK_CLOCK,
    # disabled | inherit | enable_on_exec.
    attr = struct.pack("=IIQQQQQ", 1, 128, 1, 0, 0, 0, 1 | 2 | (1 << 12)) + bytes(128 - 48)
    buf = ctypes.create_string_buffer(attr, 128)
    return libc.syscall(SYS_PERF_EVENT_OPEN, buf, pid, -1, -1, 0)

def main():
    outfile, argv = sys.argv[1], sys.argv[2:]
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    go_r, go_w = os.pipe()
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.close(go_w)
            os.read(go_r, 1)
            os.execvp(argv[0], argv)
        finally:
            os._exit(127)
    os.close(go_r)
    counter = task_clock(libc, pid)
    os.write(go_w, b"x")
    os.close(go_w)
    _, status = os.waitpid(pid, 0)
    wall = time.monotonic() - start
    code = os.waitstatus_to_exitcode(status)
    # Whatever it left: orphans are ours now; wait for them all.
    while True:
        try:
            os.wait()
        except ChildProcessError:
            break
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    user, system = r.ru_utime, r.ru_stime
    if counter >= 0:
        user, system = struct.unpack("=Q", os.read(counter, 8))[0] / 1e9, 0.0
    with open(outfile, "w") as out:
        out.write("%.3f %d %d %.3f %.3f\n" % (wall, r.ru_maxrss, code if code >= 0 else 128 - code,
                                             user, system))
    sys.exit(code if code >= 0 else 128 - code)

main()
