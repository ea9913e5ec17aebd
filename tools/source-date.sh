# Sourced by the build scripts: SOURCE_DATE_EPOCH, the time of the commit
# built, so that the time stamps in the exe do not depend on when it is built
# (unless the caller set one). Outside a git checkout: the time of the newest
# source file.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
                      find "$root/core" "$root/scan" "$root/ui" -type f -printf '%T@\n' | sort -n | tail -n 1 | cut -d. -f1)
fi
export SOURCE_DATE_EPOCH
