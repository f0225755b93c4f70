# The worm's services under the win98 identity: found by nothing, touched by nothing.
IDENTITY=win98
. "$SCENARIO_DIR/../../common/services_on_95_family.sh"
