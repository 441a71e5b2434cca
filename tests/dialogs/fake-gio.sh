#!/bin/sh
# A stand-in for gio: logs its arguments and the answers it reads to gio.log beside it, and asks
# what FAKE_GIO_MODE says; the mounted folder is /gvfs/x.
printf 'args %s\n' "$*" >> "$0.log"
[ "$1" = info ] && echo 'local path: /gvfs/x' && exit 0
case "$FAKE_GIO_MODE" in
login)
    while printf 'User [root]: ' && read user && printf 'Domain [WORKGROUP]: ' && read domain &&
        printf 'Password: ' && read password; do
        printf 'answer %s/%s/%s\n' "$user" "$domain" "$password" >> "$0.log"
        [ "$password" = secret ] && exit 0
    done
    exit 2 ;;
fail)
    echo "gio: $2: volume doesn't implement mount" >&2
    exit 2 ;;
question)
    printf 'The identity of the remote computer is unknown.\n[1] Log In Anyway\n[2] Cancel Login\nChoice: '
    read choice && printf 'answer %s\n' "$choice" >> "$0.log" ;;
esac
