# A clean system under the win98 identity: nothing to remove, no inoculation.
IDENTITY=win98
