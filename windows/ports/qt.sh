# Qt 5's qtbase: Core, Gui, Widgets, Network and Test.
package=qtbase-opensource-src
depends=(openssl)   # its https: loads libssl at run time; configure reads its headers
unpatched_i686=()
unpatched_x86_64=()
# Qt on Windows would read OpenSSL's configuration file, which can load DLLs,
# from a folder any user may be able to create, and would trust roots found in
# Unix certificate folders, which Windows resolves on the current drive. With
# this patch it reads no configuration and trusts the system store alone
# (with the roots Windows fetches on demand).
patches=(qtbase-windows-trusts-no-planted-files.patch)

# Only what the program and its tests load: Core, Gui, Widgets, Network,
# Test, the windows and offscreen platforms, the Windows styles. Relocatable
# (Qt finds its plug-ins beside its DLLs), so the prefix is only a name.
# Debian's sources lack the wintab headers that tablet events need.
recipe_qt() {
  local openssl=$1
  ./configure -opensource -confirm-license -prefix /opt/qt5 \
    -xplatform win32-g++ -device-option CROSS_COMPILE="$triple-" \
    -release -shared -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -no-fontconfig -no-direct2d -qt-freetype \
    -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-harfbuzz \
    -openssl-runtime OPENSSL_INCDIR="$openssl/include" \
    -no-feature-sql -no-feature-concurrent -no-feature-xml \
    -no-feature-tabletevent -no-feature-printer \
    QMAKE_CFLAGS+="-ffile-prefix-map=$PWD=qtbase" QMAKE_CXXFLAGS+="-ffile-prefix-map=$PWD=qtbase"
  make -j"$jobs"
  make install INSTALL_ROOT="$stage"
  mkdir -p "$stage/$final"
  mv "$stage/opt/qt5"/* "$stage/$final/"
  printf '[Paths]\nPrefix = ..\n' > "$stage/$final/bin/qt.conf"
}
