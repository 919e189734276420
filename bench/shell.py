"""Reading a long paste through the shell: kal.ShellIO.readline's cost per line when 10^3 to
10^5 lines are queued at once. `make bench` runs it. Aim: the same cost per line at every size.

Each figure is the best of a few rounds, by the thread's CPU time, in ns per line.
"""
import time

import kal
import kalhost

SIZES = (1000, 10000, 100000)
LINE = "x = 1  # a line of a pasted script, about sixty bytes long....\n"
ROUNDS = 3
AIM_RATIO = 2.0


def per_line(count):
    shell = kal.ui.shellIO()
    times = []
    for _ in range(ROUNDS):
        shell.addDataForReading(LINE * count)
        shell.addEOFForReading()
        started = time.thread_time()
        for _ in range(count):
            shell.readline()
        times.append(time.thread_time() - started)
        try:
            shell.readline()
        except EOFError:  # the end mark, read untimed
            pass
    return min(times) / count * 1e9


def main():
    kalhost.reset()
    kalhost.journal(False)
    costs = [per_line(count) for count in SIZES]
    kalhost.reset()
    ratio = costs[-1] / costs[0]
    print("%-36s" % "ShellIO.readline, ns per line" + "".join("%14s" % ("%d lines" % n) for n in SIZES)
          + "%13s  aim" % ("%d/%d" % (SIZES[-1], SIZES[0])))
    print("%-36s" % "" + "".join("%14.1f" % cost for cost in costs) + "%13.2f  %s" % (
        ratio, "met" if ratio < AIM_RATIO else "over %g" % AIM_RATIO))


if __name__ == "__main__":
    main()
