sst r0 r0 201
hlt
