# The X, font and toolkit libraries of the Linux program, as one link target
# per need:
#   liaison_xlib   Xlib and XRandR (the display layer)
#   liaison_gui    FLTK and everything it draws with (the window layer)
# With LIAISON_STATIC_LIBRARIES (the default where the static libraries are
# installed) they are linked into the program: it then loads only the C
# library at start, which is most of its start-up time otherwise.
option(LIAISON_STATIC_LIBRARIES "Link the X, font and toolkit libraries statically" ON)

find_package(X11 REQUIRED)
if(NOT X11_Xrandr_FOUND)
  message(FATAL_ERROR "libXrandr (Debian libxrandr-dev) is needed for the X11 layer")
endif()
find_path(FLTK_HEADERS FL/Fl.H REQUIRED)

# In the order a static link needs: each library before those it uses.
set(_liaison_xlib_names Xrandr Xrender Xext X11 xcb Xau Xdmcp bsd md)
set(_liaison_gui_names fltk Xft Xcursor Xinerama Xrandr Xfixes Xrender Xext fontconfig freetype
    png16 brotlidec brotlicommon expat z X11 xcb Xau Xdmcp bsd md)

set(_liaison_static ${LIAISON_STATIC_LIBRARIES})
if(_liaison_static)
  foreach(name IN LISTS _liaison_gui_names)
    find_library(LIAISON_STATIC_${name} NAMES lib${name}.a)
    if(NOT LIAISON_STATIC_${name})
      message(STATUS "lib${name}.a not found: the X and toolkit libraries are linked dynamically")
      set(_liaison_static OFF)
    endif()
  endforeach()
endif()

add_library(liaison_xlib INTERFACE)
add_library(liaison_gui INTERFACE)
target_include_directories(liaison_xlib SYSTEM INTERFACE ${X11_INCLUDE_DIR}
                           ${X11_Xrandr_INCLUDE_PATH})
target_include_directories(liaison_gui SYSTEM INTERFACE ${FLTK_HEADERS} ${X11_INCLUDE_DIR})
if(_liaison_static)
  foreach(target_and_names "liaison_xlib;_liaison_xlib_names" "liaison_gui;_liaison_gui_names")
    list(GET target_and_names 0 target)
    list(GET target_and_names 1 names)
    foreach(name IN LISTS ${names})
      target_link_libraries(${target} INTERFACE ${LIAISON_STATIC_${name}})
    endforeach()
    target_link_libraries(${target} INTERFACE pthread m dl)
  endforeach()
else()
  find_library(LIAISON_FLTK_LIBRARY NAMES fltk REQUIRED)
  find_package(Fontconfig REQUIRED)
  target_link_libraries(liaison_xlib INTERFACE ${X11_Xrandr_LIB} ${X11_X11_LIB})
  target_link_libraries(liaison_gui INTERFACE ${LIAISON_FLTK_LIBRARY} Fontconfig::Fontconfig
                        ${X11_X11_LIB})
endif()
