sld r0 r0 200
hlt
