# A clean system under the nt351 identity: nothing to remove, no inoculation.
IDENTITY=nt351
