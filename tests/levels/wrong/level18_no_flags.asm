; load sets no flag: jeq tests whatever the flags were
label wait
load r1 r0 r0 100
jeq r0 r0 wait
hlt
