; thread A spins until the timer; the handler saves A's context with sst
; and loads thread B's prepared context with sld; iret then runs thread B.
iset 0 switch      ; 0000
sck r0 r0 8        ; 0004
label threada
jmp r0 r0 0        ; 0008
label switch
sst r0 r0 400      ; 000C: A's context is kept at 400
sld r0 r0 contextb ; 0010
iret               ; 0014
label threadb
addi rf r0 ff      ; 0018
hlt                ; 001C
; B's context: its size 13, then flags, R0..Rf, PC low, PC high (0018)
label contextb
dta 13
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 0
dta 18
dta 0
