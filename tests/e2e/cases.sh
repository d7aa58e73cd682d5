# The cases of the end-to-end tests of the Linux program, one `def` each
# (sourced by e2e.sh; CMake reads the names from the lines starting "def ").
#
#   def NAME field=value ...
#
# Fields (texts take printf %b escapes: \n, and \\ for one backslash):
#   mode       start mode set with `xrandr -s` (depth 24, 32 bits per pixel)
#   display    "none": run with DISPLAY naming a display where nothing listens
#   folder     name of the program's folder (default "app")
#   app        file name of the companion created in the folder ("companion")
#   ini        link file before the run; "none" for no file
#   reg        registry store before the run; "none" for no file (default)
#   answer     title of a window that must appear during the run; it is
#              answered with Return
#   exit       0 (default) or "fail" (any non-zero status)
#   after      the mode that `xrandr --current` reports afterwards (default:
#              the start mode)
#   ini_after  the link file's exact bytes afterwards; "same" (default)
#   reg_after  the store's exact bytes afterwards; "same" (default), "none"
#   started    yes / no: the companion ran (exactly once, as its own file)
#   stderr     texts that standard error must hold, separated by "|"; {INI}
#              stands for the link file's path, {DISPLAY} for the display.
#              Without it, standard error must stay empty.

A='[APPLICATIONS]\nAPPLICATION_NAME=companion\n'
KEY='[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]'
PASAFF_OK="REGEDIT4\n\n$KEY\n\"PasAff\"=\"OK\"\n"
MODE_ERROR='RES_ORIGINE|{INI}|is not a display mode'

# --- Large display (wider than 1024 and taller than 768) ---------------------
def B2_records_mode_and_starts mode=1280x1024 ini="$A" started=yes \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x1024x32\n'
def B2_fills_empty_record_in_place mode=1920x1080 started=yes \
  ini='[APPLICATIONS]\nRES_ORIGINE=\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\n' \
  ini_after='[APPLICATIONS]\nRES_ORIGINE=1920x1080x32\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\n'
def B1_clears_record_and_stops mode=1280x1024 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x16\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n'
def B1_with_auto_leaves_display_alone mode=1280x1024 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=\n'
def threshold_1152x864_is_large mode=1152x864 ini="$A" started=yes \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1152x864x32\n'
def threshold_1280x800_is_large mode=1280x800 ini="$A" started=yes \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x800x32\n'

# --- Small display, nothing recorded (S1) --------------------------------------
# At exactly 1024x768 the check reads neither the registry (an absent store
# stays absent: reading would create the key) nor writes anything.
def S1_at_1024x768_starts_and_writes_nothing mode=1024x768 ini="$A" started=yes reg_after=none
def S1_auto_switches_800x600_to_1024x768 mode=800x600 after=1024x768 started=yes reg_after=none \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\n'
def S1_auto_switches_1024x1024_to_1024x768 mode=1024x1024 after=1024x768 started=yes \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=\n'
def threshold_1280x768_small_PasAff_starts mode=1280x768 ini="$A" reg="$PASAFF_OK" started=yes
def threshold_1024x1024_small_PasAff_starts mode=1024x1024 ini="$A" reg="$PASAFF_OK" started=yes

# --- Small display, a mode recorded, no automatic change (S2) ------------------
def S2_puts_recorded_mode_back mode=1024x768 after=1280x1024 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x1024x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n'
def S2_from_800x600_to_1920x1080 mode=800x600 after=1920x1080 started=no \
  ini='[APPLICATIONS]\nRES_ORIGINE=1920x1080x32\nAPPLICATION_NAME=companion\n' \
  ini_after='[APPLICATIONS]\nRES_ORIGINE=\nAPPLICATION_NAME=companion\n'
# "ok" is not "OK": S2, where "OK" would make it S3 and keep the record.
def S2_auto_lower_case_ok_is_not_OK mode=1024x768 after=800x600 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=ok\nRES_ORIGINE=800x600x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=ok\nRES_ORIGINE=\n'
# A recorded size the server has no mode for: refused, unnoticed.
def S2_unknown_mode_is_refused mode=800x600 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1000x700x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n'
# A width that is not a number is converted only at the change: the record is
# already emptied by then.
def S2_width_not_a_number_fails_after_emptying mode=800x600 started=no exit=fail answer=Liaison \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=abcx600x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n' \
  stderr="$MODE_ERROR|\"abcx600x32\"|width"
def S2_one_x_fails_and_keeps_record mode=800x600 started=no exit=fail answer=Liaison \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1024x768\n' \
  stderr="$MODE_ERROR|\"1024x768\""
def S2_no_x_fails_and_keeps_record mode=1024x768 started=no exit=fail answer=Liaison \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280\n' \
  stderr="$MODE_ERROR|\"1280\""

# --- Small display, a mode recorded, automatic change (S3, S4, S5) -------------
def S3_at_1024x768_puts_recorded_mode_back mode=1024x768 after=800x600 started=no \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n'
def S4_at_recorded_mode_switches_and_starts mode=800x600 after=1024x768 started=yes \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n'
def S4_from_1280x768 mode=1280x768 after=1024x768 started=yes \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=1280x768x32\n'
# Another depth is another mode: the warning, the three registry values and
# the record emptied, then the check switches by itself.
def S5_other_depth_warns_clears_and_switches mode=800x600 after=1024x768 started=yes \
  answer='Attention modification !!' \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800x600x16\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=\n' \
  reg="REGEDIT4\n\n$KEY\n\"PasAff\"=\"OK\"\n\"RES_ORIGINE\"=\"800x600x16\"\n\"AUTOCHANGERES\"=\"OK\"\n\"RES_LOGICIEL\"=\"companion\"\n" \
  reg_after="REGEDIT4\n\n$KEY\n\"PasAff\"=\"OK\"\n\"RES_ORIGINE\"=\"\"\n\"AUTOCHANGERES\"=\"\"\n\"RES_LOGICIEL\"=\"\"\n"
# S5 without a store: the key and the three empty values are created.
def S5_other_size_creates_the_store mode=800x600 after=1024x768 started=yes \
  answer='Attention modification !!' \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=640x480x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=\n' \
  reg_after="REGEDIT4\n\n$KEY\n\"RES_ORIGINE\"=\"\"\n\"RES_LOGICIEL\"=\"\"\n\"AUTOCHANGERES\"=\"\"\n"
# S5 never uses the parts: a width that is not a number goes unnoticed.
def S5_width_not_a_number_goes_unnoticed mode=800x600 after=1024x768 started=yes \
  answer='Attention modification !!' reg="$PASAFF_OK" \
  reg_after="REGEDIT4\n\n$KEY\n\"PasAff\"=\"OK\"\n\"RES_ORIGINE\"=\"\"\n\"RES_LOGICIEL\"=\"\"\n\"AUTOCHANGERES\"=\"\"\n" \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=wx600x32\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=\n'
# The record is taken apart before any test, even on the S5 path.
def S5_one_x_fails_before_the_warning mode=800x600 started=no exit=fail answer=Liaison \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=640x480\n' \
  stderr="$MODE_ERROR|\"640x480\""
def S3_height_not_a_number_fails mode=1024x768 started=no exit=fail answer=Liaison \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nAutoChangeRes=OK\nRES_ORIGINE=800xsixx32\n' \
  stderr="$MODE_ERROR|\"800xsixx32\"|height"

# --- The companion and the link file -------------------------------------------
# Folders and names with blanks and quotes: the exact file is started, not a
# program named by its first word.
def folder_with_blanks_and_quotes_B2 mode=1280x1024 folder="a b'c\"d" app='my companion' \
  started=yes ini='[APPLICATIONS]\nAPPLICATION_NAME=my companion\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=my companion\nRES_ORIGINE=1280x1024x32\n'
def folder_with_quotes_S4 mode=800x600 after=1024x768 folder="it's \"here\" now" \
  app="o'neil \"x\"" started=yes \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=o'"'"'neil "x"\nAutoChangeRes=OK\nRES_ORIGINE=800x600x32\n'
# An empty name: the record is written first, then the launch fails.
def empty_application_name_fails_after_recording mode=1280x1024 started=no exit=fail \
  answer=Liaison ini='[APPLICATIONS]\nAPPLICATION_NAME=\n' \
  ini_after='[APPLICATIONS]\nAPPLICATION_NAME=\nRES_ORIGINE=1280x1024x32\n' \
  stderr='Cannot start the application|APPLICATION_NAME|{INI}'
def missing_link_file_records_then_fails mode=1152x864 started=no exit=fail answer=Liaison \
  ini=none ini_after='[APPLICATIONS]\nRES_ORIGINE=1152x864x32\n' \
  stderr='Cannot start the application|APPLICATION_NAME'

# --- No X server ---------------------------------------------------------------
def no_x_server_fails_cleanly display=none started=no exit=fail \
  ini='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x16\n' \
  reg="$PASAFF_OK" stderr='{DISPLAY}'
