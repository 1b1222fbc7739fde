#!/bin/sh
# layers.sh ROOT: fails when an include points up the layer order
#   app -> edit -> plots -> draw -> settings -> analysis -> circuit -> expr;
#   frame and image under the interface rooms (draw .. app);
#   cli beside app on analysis, circuit and expr;
#   SDL and Emscripten only inside frame/.
cd "${1:-.}" || exit 2
allowed() {
    case $1 in
    expr) echo "expr" ;;
    circuit) echo "circuit expr" ;;
    analysis) echo "analysis circuit expr" ;;
    frame) echo "frame" ;;
    image) echo "image" ;;
    settings) echo "settings analysis circuit expr" ;;
    draw) echo "draw settings circuit expr frame image" ;;
    plots) echo "plots draw settings analysis circuit expr frame image" ;;
    edit) echo "edit plots draw settings analysis circuit expr frame image" ;;
    app) echo "app edit plots draw settings analysis circuit expr frame image" ;;
    cli) echo "cli analysis circuit expr" ;;
    esac
}
bad=0
# a folder of program sources must have a place in the order
for d in $(ls -d */ | tr -d /); do
    case $d in tests|bench|assets|examples|build*) continue ;; esac
    ls $d/*.cpp $d/*.h 2>/dev/null | grep -q . || continue
    [ -n "$(allowed $d)" ] || { echo "$d/ has no place in the layer order"; bad=1; }
done
for dir in expr circuit analysis frame image settings draw plots edit app cli; do
    ok=$(allowed $dir)
    for f in $(ls $dir/*.cpp $dir/*.h 2>/dev/null); do
        for inc in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*".*/\1/p' "$f"); do
            case " $ok " in
            *" $inc "*) ;;
            *) echo "$f includes $inc/: $dir may include only: $ok"; bad=1 ;;
            esac
        done
    done
done
for f in $(grep -rlE '#[[:space:]]*include[[:space:]]*[<"](SDL|emscripten)' --include=*.cpp --include=*.h . | grep -v '^\./build'); do
    case $f in
    ./frame/*|./tests/test_frame_sdl.cpp) ;;
    *) echo "$f includes a platform (SDL, Emscripten): only the frame may"; bad=1 ;;
    esac
done
[ $bad = 0 ] && echo "layers: every include points down"
exit $bad
