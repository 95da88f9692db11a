; after the call returns the CPU runs into the zero word
call r0 r0 100
