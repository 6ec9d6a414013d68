#!/bin/sh
# Installs what is missing, builds and runs every test (make test).
exec "$(dirname "$0")/tools/make.sh" test
