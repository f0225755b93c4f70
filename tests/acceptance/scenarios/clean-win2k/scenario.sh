# A clean system under the win2k identity: nothing to remove, no inoculation.
IDENTITY=win2k
