# What `cmake --install` puts on a Linux system, the Debian packages' file
# list. The plug-in library lives in a private folder: only klvps and
# klvps-cupsfilter load it, by its full path, and nothing links against it.
#
#   bin/klvps                             the command
#   bin/klvps-printer-app                 the printer application
#   lib/<multiarch>/klvps/libklvps.so     the plug-in library
#   lib/cups/filter/klvps-cupsfilter      the CUPS filter (CUPS's own folder
#                                         is lib/cups, never lib/<multiarch>)
#   share/ppd/klvps/klvps.ppd             the queue's PPD file
#   share/cups/ppd-updaters/...           how CUPS brings existing queues
#                                         to a new PPD file on upgrade

install(TARGETS klvps_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT command)
install(TARGETS klvps_printer_app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT app)
install(TARGETS klvps LIBRARY DESTINATION ${KLVPS_PLUGIN_INSTALL_DIR} NAMELINK_SKIP COMPONENT plugin)
install(TARGETS klvps_cupsfilter RUNTIME DESTINATION ${KLVPS_CUPS_SERVERBIN}/filter COMPONENT cups)
install(FILES ${PROJECT_SOURCE_DIR}/programs/cupsfilter/klvps.ppd DESTINATION ${CMAKE_INSTALL_DATADIR}/ppd/klvps
        COMPONENT cups)
install(FILES ${PROJECT_SOURCE_DIR}/programs/cupsfilter/klvps.ppd-updater
        DESTINATION ${CMAKE_INSTALL_DATADIR}/cups/ppd-updaters RENAME printer-driver-klvps.ppd-updater
        COMPONENT cups)
