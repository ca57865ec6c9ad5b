# Where the Windows build keeps what outlives a checkout, sourced by the Windows scripts: the
# dependencies' sources and the prefix they are built into. It lives in the machine's cache, so a
# fresh clone on the same machine (CI's) reuses the libraries built before instead of building
# them for most of an hour. KOLT_CACHE moves it.
windows_cache=${KOLT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/validaciones-kolt}/windows
prefix=$windows_cache/prefix
mkdir -p "$windows_cache"
