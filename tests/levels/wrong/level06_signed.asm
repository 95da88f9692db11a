; compares as signed numbers: r1 = 80 is taken for less than r2 = 7F
xori r4 r1 80
xori r5 r2 80
sub r0 r4 r5
jgt r0 r0 greater
hlt
label greater
addi r3 r0 1
hlt
