# A clean system under the nt40 identity: nothing to remove, no inoculation.
IDENTITY=nt40
