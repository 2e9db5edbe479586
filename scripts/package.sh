#!/usr/bin/env bash
# Builds the Debian package (Release) into build-package/ and prints its path:
#   bash scripts/package.sh
# Install it with: apt-get install ./build-package/zerval_<version>-1_amd64.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZERVAL_BUILD_TESTS=OFF
rm -f build-package/zerval_*.deb
(cd build-package && cpack -G DEB >/dev/null)
package=$(find "$root/build-package" -maxdepth 1 -name 'zerval_*.deb' -print -quit)
[[ -n $package ]] || { echo "no package was written to build-package/" >&2; exit 1; }
echo "$package"
