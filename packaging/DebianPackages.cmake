# Two Debian packages by CPack: "nightlux" (the window) and "nightlux-read" (the reader,
# the simulated meter and the logging service). Their library dependencies come from
# dpkg-shlibdeps. Build them with scripts/build-packages, which configures the prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nightlux)
set(CPACK_PACKAGE_VENDOR Corvatek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NIGHTLUX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The settings file and the unit have absolute destinations (/etc, /lib).
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL window headless)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${NIGHTLUX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME nightlux)
# The platform plugins and libmosquitto are loaded at run time, so dpkg-shlibdeps cannot see
# them.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins, libmosquitto1")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
    "Sky Quality Meter reader
Nightlux reads a Sky Quality Meter, the outdoor meter that measures the
brightness of the night sky in magnitudes per square arc-second: the
Ethernet model over TCP, the USB and RS-232 models over a serial port.
It shows the sky brightness, the naked-eye limiting magnitude and the
sensor temperature, and can keep every reading in a comma-separated file.
.
This package holds the window, and nightlux-chart, which draws a
station's history (the night, the hourglass, the jellyfish, brightness
against the Sun, histograms) and its table of nights from readings files
and skyglow data files, without a display. The package nightlux-read reads the meter
without a display and logs it all night as a service.")

set(CPACK_DEBIAN_HEADLESS_PACKAGE_NAME nightlux-read)
set(CPACK_DEBIAN_HEADLESS_PACKAGE_DEPENDS "adduser, libmosquitto1")
set(CPACK_COMPONENT_HEADLESS_DESCRIPTION
    "Sky Quality Meter reader for the command line and a logging service
nightlux-read reads a Sky Quality Meter (Ethernet, USB or RS-232) without
a display, once or every so many minutes, printing each reading and
adding it to a comma-separated readings file.
.
The package includes a systemd service that logs the sky all night as a
system user of its own, and nightlux-meter-sim, a simulated meter for
trying the programs without one.")
set(CPACK_DEBIAN_HEADLESS_PACKAGE_CONTROL_EXTRA
    ${out}/deb/postinst ${out}/deb/prerm ${out}/deb/postrm ${out}/deb/conffiles)

include(CPack)
