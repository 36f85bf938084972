#!/usr/bin/env python3
"""Samples the resident memory of every descendant of PID until PID ends,
then prints two figures in KiB: the largest total of their Pss seen at one
sample (what the process tree held at once, pages shared between forked
copies counted once in all), and the largest VmHWM of any
single descendant (what GNU time's %M reports when every process is reaped
by its parent). Every 50 ms; reading /proc costs little next to a scan.
Usage: tree_rss.py PID"""
import os, sys, time

def children(pid):
    out = []
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                out += [int(c) for c in f.read().split()]
    except OSError:
        pass
    return out

def status(pid):
    pss = hwm = 0
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
    except OSError:
        pass
    return pss, hwm

def main():
    root = int(sys.argv[1])
    peak_sum = peak_one = 0
    while os.path.exists("/proc/%d" % root):
        todo, total = children(root), 0
        while todo:
            pid = todo.pop()
            todo += children(pid)
            rss, hwm = status(pid)
            total += rss
            peak_one = max(peak_one, hwm)
        peak_sum = max(peak_sum, total)
        time.sleep(0.05)
    print(peak_sum, peak_one)

main()
