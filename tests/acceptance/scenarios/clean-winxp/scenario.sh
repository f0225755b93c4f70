# A clean system under the winxp identity: nothing to remove, no inoculation.
IDENTITY=winxp
