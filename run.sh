#!/bin/sh
# Installs what is missing, builds and starts the program (make run).
exec "$(dirname "$0")/tools/make.sh" run
