; there is no subi: this does not assemble
subi r1 r1 5
hlt
