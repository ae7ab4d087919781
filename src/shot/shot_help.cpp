#include "shot/shot_help.h"

#include "shot/project_version.h"

QString ShotHelpText() {
    return QStringLiteral(
        R"(Usage: glimpa-shot [OPTION]... ADDRESS OUTPUT
  or:  glimpa-shot [OPTION]... --batch FILE
Capture a whole web page, the part below the bottom of the screen too, into one
picture file. Needs no display: without one it draws off screen.

  ADDRESS          an existing file; an http(s) or file address; an address as
                   people type it (example.org, 127.0.0.1:8000/page: https://
                   is added, http:// for localhost and IP addresses); or a path
                   to a .htm/.html/.mht file
  OUTPUT           picture file; the ending picks the format: .bmp .jpg .jpeg .gif
                   .png .webp .avif (BMP 24-bit; GIF 256 colours at most; PNG
                   lossless; WebP lossless unless --quality is given, at most 16383
                   pixels a side; AVIF at --quality, 60 by default) or .pdf (printed
                   by the browser: searchable text, in pages); '-' writes to
                   standard output, in the --format given. BMP, JPEG and PNG
                   files of a whole page are written as the page is taken, so
                   their memory grows with the width, not the height; GIF, WebP,
                   AVIF, standard output, --selector and --clip need the whole
                   picture in memory at once

The view and the picture:
  --width PX       viewport width in CSS pixels, 16 to 16384 (default 1920)
  --height PX      one screen's height in CSS pixels, 16 to 16384 (default 1080)
  --scale F        device pixel ratio, 0.25 to 5, e.g. 2 for a sharp double-size
                   picture (default 1)
  --screens N      N screens from the top (fractions allowed); default: the whole
                   page
  --max-height PX  the tallest picture it makes, in picture pixels, up to 1000000
                   (default 100000; less for JPEG, 65500, GIF, 65535, WebP, 16383,
                   and AVIF, 8704); an endless page stops there
  --max-width PX   a page wider than --width is laid out and taken as wide as it
                   is, up to this many CSS pixels (default and most: 16384 / scale);
                   a wider one is cut there

A part of the page:
  --selector CSS   the first element matching CSS, its border box, whole however
                   tall; nothing matching is status 8
  --padding PX     room around the --selector's element, in CSS pixels
  --clip X,Y,W,H   a rectangle of the page in CSS pixels, cut to the page
  --scroll-element CSS
                   the element whose whole content the picture holds where the
                   document itself does not scroll (an app's shell); by default
                   the scrolling element that covers most of the view

The page as it is taken:
  --hide CSS       matching elements keep their room but are not drawn (repeatable)
  --remove CSS     matching elements are taken out, as if never there (repeatable)
  --style CSS      a style sheet added before the page settles; @FILE reads it from
                   FILE (repeatable)
  --script JS      a script run in the page after its load, before it settles, as
                   the body of an async function: a promise it returns is awaited;
                   @FILE reads it from FILE (repeatable); one that throws is status 3
  --animations HOW 'still' (default): animations, transitions and videos held
                   still, finite ones at their end, endless ones at their start,
                   so every run gives the same picture; 'run': as they are
  --color-scheme light|dark
                   what the page's prefers-color-scheme sees
  --reduced-motion the page's prefers-reduced-motion sees 'reduce'

Waiting:
  --timeout S      the whole capture, load and settle included, ends within a
                   second of S seconds (default 30)
  --wait-for CSS   wait until an element matches CSS (else status 4)
  --delay MS       wait this much more once the page settled

Who the browser is:
  --header 'NAME: VALUE'
                   sent with every request of the page (repeatable)
  --cookie NAME=VALUE
                   a cookie for each page's own host (repeatable)
  --cookies FILE   cookies from FILE, in the cookies.txt format of curl and wget
  --user-agent TEXT
                   what the browser says it is
  --auth USER:PASS for HTTP authentication, given to the page's own host only

The output:
  --quality Q      JPEG, WebP or AVIF quality 1..100 (JPEG's default 85; WebP is
                   lossless without it); refused for other formats
  --progressive    a progressive JPEG; refused for other formats
  --format FORMAT  for OUTPUT '-': bmp, jpg, jpeg, gif, png, webp, avif or pdf
  --pdf-page SIZE  a PDF's pages: a4 (default) or letter; hide, remove, style,
                   script and colour scheme apply to a PDF too
  --json           one JSON record a page on standard output: address,
                   final_address, output, exit, http_status, title, width, height,
                   cut, settled, ms, bytes, message

Many pages, memory and messages:
  --batch FILE     lines of "ADDRESS OUTPUT [OPTION]..." (a file or a pipe, 16 MiB at
                   most); one browser serves them all; the command line's options
                   are every line's defaults
  --jobs N         pages of a batch captured at once, 1 to 16 (default 2); a
                   capture waits while N pictures wait for the encoder
  --shard K/N      only the batch's pages K, K+N, K+2N...: N machines, each with
                   its own K, split one batch; their --json records join into one
  --max-memory MIB the memory the pictures may take, in MiB (default: half of
                   the machine's); a picture held whole in memory stops where it
                   runs out, as at --max-height, and a screen that does not fit
                   is bad usage
  --console        show what the page writes to its console on standard error,
                   each line marked as the page's, control characters escaped,
                   at most 50 lines a second
  -h, --help       display this help and exit
  --version        output version information and exit

The picture is the page's width (at least the viewport's) by its full height (or
N screens, or the part asked for), both times the scale, and at most 16384 pixels
wide. The page sees the scale as its devicePixelRatio and --width as its
innerWidth from its first script. Its dialogs are answered as no user is there
(alert OK, confirm Cancel, prompt an empty text) and told on standard error as
the page's. A page that changes while it is taken (a late picture, content added)
is taken again, or written with status 4. The file is replaced only once the new
picture is complete; a failed run leaves an existing file as it was. While
standard error is a terminal, the screens done of the total are shown there.

In a batch file, blank lines and lines starting with '#' are skipped; an address,
output or option value with spaces is put in double quotes. Relative paths, there
as on the command line, are taken from the current folder. One page that fails
does not stop the others. A line may not change what holds for the whole run:
--console, --max-memory, --user-agent, --color-scheme, --reduced-motion,
--cookie, --cookies, --json.

Exit status:
  0  the picture was written (in a batch: every picture was)
  2  bad usage: an unknown option, a value out of range, an address that is not
     usable, an output with an unknown ending, an option the output's format has
     no use for; nothing is loaded
  3  the page failed to load (the message says why: host not found, connection
     refused, TLS error, timed out), its renderer crashed, stopped answering or
     drew nothing of it in time, it went to another address while it was taken,
     a --script threw, or no element matches --scroll-element; nothing is
     written
  4  the page did not settle in time, kept changing while it was taken, nothing
     matched --wait-for, or it drew with WebGL, which cannot be drawn here; the
     picture is written as the page then stood, with a warning
  5  the page is taller than --max-height (or than --max-memory or the format
     allows) or wider than --max-width; the picture is written down to that
     height or across to that width, with a warning
  6  the picture file could not be written (the message says why), or the output
     is no regular file (a pipe, a device); an existing file is left as it was
  7  the server answered with an error (HTTP 400 or above) and a page; the
     picture of that page is written, with a warning naming the status
  8  nothing matches --selector; nothing is written
In a batch: the status of the first page that failed (3, 6 or 8), else of the
first page written with a warning (4, 5 or 7), else 0.

Examples:
  glimpa-shot example.org page.png
  glimpa-shot --width 1280 --screens 3 --scale 2 https://example.org/ top.jpg
  glimpa-shot --quality 92 --progressive manual.html manual.jpg
  glimpa-shot --selector main --padding 16 --hide .cookie-bar docs.example.org main.png
  glimpa-shot --clip 0,0,1200,630 --color-scheme dark example.org card.png
  glimpa-shot --wait-for '#chart svg' --delay 500 --script @login.js app.example.org app.png
  glimpa-shot --header 'Accept-Language: de' --cookies cookies.txt example.org de.png
  glimpa-shot --format png example.org - | other-program
  glimpa-shot --batch pages.txt --jobs 4 --json > records.jsonl
)");
}

QString ShotVersionText() {
    return QStringLiteral("glimpa-shot " GLIMPA_VERSION);
}
