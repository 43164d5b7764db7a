# The editor component for Qt 6, as the imported target QScintilla::QScintilla.
# Its headers lie beside Qt's own (Qsci/ in Qt's include folder), so Qt's
# include folders are where it is looked for first.
get_target_property(_qsci_qt_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
find_path(QScintilla_INCLUDE_DIR NAMES Qsci/qsciscintilla.h HINTS ${_qsci_qt_includes} PATH_SUFFIXES qt6)
find_library(QScintilla_LIBRARY NAMES qscintilla2_qt6)
unset(_qsci_qt_includes)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR)
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
  add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
  set_target_properties(QScintilla::QScintilla PROPERTIES
    IMPORTED_LOCATION "${QScintilla_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES Qt6::Widgets)
endif()
