; halts without Rf = FF
iset 0 tick
sck r0 r0 10
hlt
label tick
addi rf r0 ff
hlt
