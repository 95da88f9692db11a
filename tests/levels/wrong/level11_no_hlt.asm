; pushes, then runs into the zero word
push r1
