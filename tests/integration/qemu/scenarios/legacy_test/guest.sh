# The read-only subtests on a sound disk and on one with a bad block near its end.
run clean kestrion-cli test --subtests 0,7,8,9,11 --json "$(sg_of 0 1)"
run bad kestrion-cli test --subtests 0,7,8,9,11 --json "$(sg_of 0 2)"
