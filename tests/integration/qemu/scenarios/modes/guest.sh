# The mode page editor on a real kernel: the caching page's WCE off and on
# again through MODE SELECT (PF set), with what the disk cannot change refused
# before anything is sent.
run before kestrion-cli modes 0 --page 08 --current --json
run wce-off kestrion-cli modes 0 --page 08 --set "WCE=0" --current
run after-off kestrion-cli modes 0 --page 08 --current --json
run wce-on kestrion-cli modes 0 --page 08 --set "WCE=1" --current
run after-on kestrion-cli modes 0 --page 08 --current
run fixed kestrion-cli modes 0 --page 08 --set "RCD=1" --current
run saved kestrion-cli modes 0 --page 08 --set "WCE=0" --saved
