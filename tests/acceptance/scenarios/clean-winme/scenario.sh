# A clean system under the winme identity: nothing to remove, no inoculation.
IDENTITY=winme
