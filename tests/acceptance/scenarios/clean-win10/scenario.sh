# A clean system under the win10 identity: nothing to remove, no inoculation.
IDENTITY=win10
