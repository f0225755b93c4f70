# A clean system under the win95 identity: nothing to remove, no inoculation.
IDENTITY=win95
