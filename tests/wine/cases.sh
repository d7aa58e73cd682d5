# shellcheck shell=bash
# The cases of the wine tests (sourced by wine.sh; CMake reads the names from
# the lines that start with "def ", "both " or "wizard ").
#
#   def NAME field=value ...     the Windows program under wine
#   both NAME field=value ...    the Windows program under wine and the Linux
#                                program, each in its own folder with the same
#                                link file: both must give this outcome
#   wizard NAME field=value ...  the Windows program, its wizard driven by
#                                clicks through the typical run, and two more
#                                runs after it
#
# Fields (texts take printf %b escapes: \n, \r, \0, and \\ for a backslash):
#   mode       start mode, set with `xrandr -s` (32 bits per pixel)
#   after      the mode that `xrandr --current` reports afterwards (default:
#              the start mode)
#   folder     name of the program's folder (default "app")
#   app        name of the companion without ".exe" (default "companion")
#   ini        the link file before the run; "none" for no file
#   values     the link file's values afterwards, as the profile functions read
#              them: "KEY=VALUE" for each key of APPLICATIONS in the file's
#              order, joined by "|"; "(no file)"; "same" (default): those of
#              the file before the run
#   bytes      "same": the link file's bytes are unchanged (neither program
#              writes it; the Windows profile functions rewrite a file whole)
#   reg        wine's registry key HKLM\SOFTWARE\Movelka before the run:
#              "NAME=VALUE|..." string values, "none" for no key, "keep"
#              (default) to leave it as it is
#   reg_after  the key's values afterwards, same form, in any order; "none":
#              no key; "any" (default): not checked
#   answer     title of a message box that must appear; its OK button is
#              clicked (Return for the Linux program's box)
#   exit       0 (default) or "fail" (any non-zero status)
#   started    yes / no: the companion ran exactly once, as its own file (and
#              under wine with window style 2, minimised)
#   stderr     texts that standard error must hold, separated by "|"; without
#              it, standard error must stay empty

A='[APPLICATIONS]\nAPPLICATION_NAME=companion\n'
AUTO='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\n'
MODE_ERROR='RES_ORIGINE|is not a display mode'
LAUNCH_ERROR='Cannot start the application|APPLICATION_NAME'
LONG=$(printf 'v%.0s' {1..5000})
BLANKS=$(printf ' %.0s' {1..5000})

# --- Large display: record and start, or forget -----------------------------------
def B2_records_mode_and_starts mode=1280x1024 ini="$A" started=yes \
  values='APPLICATION_NAME=companion|RES_ORIGINE=1280x1024x32'
def B2_threshold_1152x864_is_large mode=1152x864 ini="$AUTO" started=yes \
  values='APPLICATION_NAME=companion|AutoChangeRes=OK|RES_ORIGINE=1152x864x32'
def B1_clears_record_and_stops mode=1280x800 \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
# Blanks and quotes in the folder and the name: the exact file is started,
# not a program named by the command line's first word.
def B2_folder_and_name_with_blanks mode=1920x1080 folder="my apps" app='my companion' \
  started=yes ini='[APPLICATIONS]\nAPPLICATION_NAME=my companion\n' \
  values='APPLICATION_NAME=my companion|RES_ORIGINE=1920x1080x32'

# --- Small display, nothing recorded (S1) ----------------------------------------------
# 1280x768 is small for the start-up but not too small for the check, which
# then reads PasAff: "OK" starts the companion without the wizard.
def S1_1280x768_with_PasAff_starts mode=1280x768 ini="$A" reg='PasAff=OK' reg_after='PasAff=OK' \
  started=yes bytes=same
# At exactly 1024x768 the check reads no registry: the key is not created.
def S1_at_1024x768_starts_and_creates_no_key mode=1024x768 ini="$A" reg=none reg_after=none \
  started=yes bytes=same
def S1_auto_switches_to_1024x768 mode=800x600 after=1024x768 ini="$AUTO" started=yes bytes=same

# --- Small display, a mode recorded (S2 to S5) -------------------------------------------
def S2_puts_recorded_mode_back mode=1024x768 after=1280x1024 \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x1024x32\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
def S2_from_800x600_to_1920x1080 mode=800x600 after=1920x1080 \
  ini='[APPLICATIONS]\nRES_ORIGINE=1920x1080x32\nAPPLICATION_NAME=companion\n' \
  values='RES_ORIGINE=|APPLICATION_NAME=companion'
def S3_at_1024x768_puts_recorded_mode_back mode=1024x768 after=800x600 bytes=same \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n'
def S4_at_recorded_mode_switches_and_starts mode=800x600 after=1024x768 started=yes bytes=same \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n'
# From 1280x768 only the width differs, and the program's change request
# names only the width. Windows takes the height from the mode in force; wine
# 8 refuses such a request ("devmode doesn't specify the resolution"): the
# display keeps 1280x768 under wine, unnoticed, and the companion starts.
def S4_from_1280x768_wine_refuses_a_width_only_change mode=1280x768 started=yes bytes=same \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=1280x768x32\n'
# Another mode than the recorded one: the warning, the three registry values
# emptied (PasAff kept), the record emptied, then the check switches by itself.
def S5_warns_empties_registry_and_switches mode=800x600 after=1024x768 started=yes \
  answer='Attention modification !!' \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=640x480x32\n' \
  values='APPLICATION_NAME=companion|AutoChangeRes=OK|RES_ORIGINE=' \
  reg='PasAff=OK|RES_ORIGINE=800x600x16|RES_LOGICIEL=companion|AUTOCHANGERES=OK' \
  reg_after='PasAff=OK|RES_ORIGINE=|RES_LOGICIEL=|AUTOCHANGERES='
def S5_creates_the_key mode=1024x600 after=1024x768 started=yes answer='Attention modification !!' \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=1024x600x16\n' \
  values='APPLICATION_NAME=companion|AutoChangeRes=OK|RES_ORIGINE=' \
  reg=none reg_after='RES_ORIGINE=|RES_LOGICIEL=|AUTOCHANGERES='

# --- The wizard ---------------------------------------------------------------------------
# The Overview's typical run, from 800x600: afterwards the display is at
# 1024x768, automatic change is on and the start mode is recorded.
wizard typical_wizard_run mode=800x600 after=1024x768 ini="$A" started=yes \
  values='APPLICATION_NAME=companion|RES_ORIGINE=800x600x32|AutoChangeRes=OK'

# --- Bad link files: both programs, one outcome ---------------------------------------
both record_with_one_x mode=800x600 exit=fail answer=Liaison bytes=same stderr="$MODE_ERROR" \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1024x768\n'
# The width is converted only at the mode change: the record is emptied first.
both record_width_not_a_number mode=800x600 exit=fail answer=Liaison stderr="$MODE_ERROR" \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=widex600x16\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
both record_depth_out_of_range mode=800x600 exit=fail answer=Liaison bytes=same \
  stderr="$MODE_ERROR" ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x99999\n'
# The record is taken apart before any test, even where S5 would not use it.
both record_with_one_x_and_auto mode=1024x768 exit=fail answer=Liaison bytes=same \
  stderr="$MODE_ERROR" ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=640x480\n'
# An empty name: the record is written, then the launch fails.
both empty_application_name mode=1280x1024 exit=fail answer=Liaison stderr="$LAUNCH_ERROR" \
  stderr_windows='\app\.exe": File not found. Check' stderr_linux='/app/": Is a directory. Check' \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=\n' values='APPLICATION_NAME=|RES_ORIGINE=1280x1024x32'
both no_link_file mode=1152x864 exit=fail answer=Liaison stderr="$LAUNCH_ERROR" ini=none \
  values='RES_ORIGINE=1152x864x32'
# A 5000-character line stays whole when the record is written beside it.
both line_of_5000_characters mode=1280x1024 started=yes \
  ini="[APPLICATIONS]\nLONG=$LONG\nAPPLICATION_NAME=companion\n" \
  values="LONG=$LONG|APPLICATION_NAME=companion|RES_ORIGINE=1280x1024x32"
# Blanks around a value are not part of it, however many.
both name_followed_by_5000_blanks mode=1280x1024 started=yes \
  ini="[APPLICATIONS]\nAPPLICATION_NAME=companion$BLANKS\n" \
  values='APPLICATION_NAME=companion|RES_ORIGINE=1280x1024x32'
both crlf_line_ends mode=1280x1024 started=yes \
  ini='[APPLICATIONS]\r\nAPPLICATION_NAME=companion\r\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE=1280x1024x32'
# Quotes around a value are taken off: the recorded mode is put back.
both quoted_values mode=1024x768 after=1280x1024 \
  ini='[APPLICATIONS]\nAPPLICATION_NAME="companion"\nRES_ORIGINE="1280x1024x32"\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
both blanks_and_case_in_names mode=1280x1024 started=yes \
  ini='[ applications ]\n  Application_Name = companion  \n' \
  values='Application_Name=companion|RES_ORIGINE=1280x1024x32'
# A NUL byte ends a value: the name read is "comp".
both nul_byte_in_the_name mode=1280x1024 exit=fail answer=Liaison stderr="$LAUNCH_ERROR|comp" \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=comp\0anion\n' \
  values='APPLICATION_NAME=comp|RES_ORIGINE=1280x1024x32'
# A line of NUL bytes hides nothing after it, and the record before a NUL is
# read whole: the recorded mode is put back.
both nul_bytes_between_keys mode=1024x768 after=1280x1024 \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\n\0\0\0\nRES_ORIGINE=1280x1024x32\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
both nul_byte_in_the_record mode=1024x768 after=1280x1024 \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x1024x32\0junk\n' \
  values='APPLICATION_NAME=companion|RES_ORIGINE='
# Only the first of two sections of the same name is read: the record in the
# second one is not seen, and the companion starts.
both duplicate_sections mode=1024x768 started=yes bytes=same \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\n[APPLICATIONS]\nRES_ORIGINE=1280x1024x32\n'
# The first of two keys of the same name is read.
both duplicate_keys mode=1280x1024 started=yes \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAPPLICATION_NAME=other\n' \
  values='APPLICATION_NAME=companion|APPLICATION_NAME=companion|RES_ORIGINE=1280x1024x32'
