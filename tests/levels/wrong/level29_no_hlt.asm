; Rf = FF, then runs into the zero word
addi rf r0 ff
