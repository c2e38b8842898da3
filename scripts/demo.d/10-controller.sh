# The broadcast controller against the stand-in engine.
"$WINE_RUN" "$BUILD_DIR/bin/broadcast_demo.exe" | tr -d '\r'
