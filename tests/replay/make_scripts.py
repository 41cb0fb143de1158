#!/usr/bin/env python3
"""Writes the pushback replay scripts in this folder.

Each full pushback is flown the way a pilot and a simulator would: the
aircraft on the ground with the parking brake set, a direction and a push
time chosen, the brake released once the crew has called, the heading
turned a degree per update once the turn command is out, and the brake set
again after the crew's last call. The update numbers below follow from the
sequencer's schedule: the direction click lands after update 2, arming then
counts from update 3, so the release wait starts at update 163 and the push
at update 281.

Run it after changing a scenario, then regenerate the expected traces with
  for s in *.script; do ../../build/linux/gauge-replay $s > ${s%.script}.trace; done
and read the differences before committing them.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
PUSH_START = 281          # update on which push_ticks becomes 1
BRAKE_RELEASED = 120      # pilot releases the brake after this update
BRAKE_SET_AFTER_TURN = 330  # updates after the turn ends before the brake is set


def pushback(name, direction, heading, timer_clicks, comment):
    lines = [f"# {comment}", "set ready 1", "set hold 32767", f"set heading {heading}", "tick 2",
             f"click {direction}"]
    timer = 20
    for click in timer_clicks:
        lines.append(f"click {click}")
        timer = max(0, timer + (5 if click == "plus" else -5))
    T = timer * 18
    lines += [f"tick {BRAKE_RELEASED - 2}", "set hold 0"]
    # The turn command goes out at push tick T - 4; with no push time there
    # is none, and the tug is simply turned once the straight push has begun.
    turn_update = PUSH_START - 1 + (T - 4 if T >= 4 else 20)
    lines.append(f"tick {turn_update - BRAKE_RELEASED}")
    step = 1 if direction == "left" else -1
    for degrees in range(1, 91):
        lines += [f"set heading {(heading + step * degrees) % 360}", "tick"]
    lines += [f"tick {BRAKE_SET_AFTER_TURN}", "set hold 32767", "tick 220"]
    return name, lines


SCENARIOS = [
    pushback("push_left_20", "left", 300, [],
             "Full pushback, tail left, 20 s straight push, heading 300 turning to 30."),
    pushback("push_right_20", "right", 45, [],
             "Full pushback, tail right, 20 s straight push, heading 45 turning to 315."),
    pushback("push_left_5", "left", 270, ["minus", "minus", "minus"],
             "Tail left with a 5 s push: the turn command comes before the last speed step."),
    pushback("push_right_5", "right", 90, ["minus", "minus", "minus"],
             "Tail right with a 5 s push, heading 90 turning to 0."),
    pushback("push_left_0", "left", 10, ["minus", "minus", "minus", "minus", "minus"],
             "No push time: no freeze or turn command, but the turn still ends at the target."),
    pushback("push_right_0", "right", 180, ["minus"] * 4,
             "Tail right with no push time, heading 180 turning to 90."),
]

if __name__ == "__main__":
    for name, lines in SCENARIOS:
        with open(os.path.join(HERE, name + ".script"), "w") as f:
            f.write("\n".join(lines) + "\n")
