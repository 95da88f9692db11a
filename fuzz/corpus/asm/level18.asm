; poll address 100 until it is not 0; load sets no flag, so test with addi
label wait
load r1 r0 r0 100
addi r1 r1 0
jeq r0 r0 wait
hlt
