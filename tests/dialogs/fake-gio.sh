#!/bin/sh
# A stand-in for gio in the tests: logs its arguments and the answers it reads, asks what
# FAKE_GIO_MODE says, and names the mounted folder FAKE_GIO_LOCAL when asked for information.
printf 'args %s\n' "$*" >> "$FAKE_GIO_LOG"
if [ "$1" = info ]; then
    [ -n "$FAKE_GIO_LOCAL" ] || exit 1
    printf 'display name: share\nuri: %s\nlocal path: %s\n' "$4" "$FAKE_GIO_LOCAL"
    exit 0
fi
case "$FAKE_GIO_MODE" in
login)
    while :; do
        printf 'Authentication Required\nEnter user and password for share on server:\n'
        printf 'User [root]: '; read user || exit 2
        printf 'Domain [WORKGROUP]: '; read domain || exit 2
        printf 'Password: '; read password || exit 2
        printf 'answer %s/%s/%s\n' "$user" "$domain" "$password" >> "$FAKE_GIO_LOG"
        [ "$password" = secret ] && exit 0
    done ;;
fail)
    echo "gio: $2: volume doesn't implement mount" >&2
    exit 2 ;;
question)
    printf 'The identity of the remote computer is unknown.\n[1] Log In Anyway\n[2] Cancel Login\nChoice: '
    read choice || exit 2
    printf 'answer %s\n' "$choice" >> "$FAKE_GIO_LOG"
    exit 0 ;;
hang)
    read never ;;
esac
exit 0
