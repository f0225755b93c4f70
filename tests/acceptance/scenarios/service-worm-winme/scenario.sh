# The worm's services under the winme identity: found by nothing, touched by nothing.
IDENTITY=winme
. "$SCENARIO_DIR/../../common/services_on_95_family.sh"
