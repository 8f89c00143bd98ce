# Sourced by the test drivers: the Windows programs of the architecture under test.
# QUILLON_ARCH=x86 picks the 32-bit ones in syswow64, which load only the 32-bit DLL and
# see the 32-bit view of HKEY_CLASSES_ROOT; otherwise the 64-bit ones in system32.
if [ "${QUILLON_ARCH:-x64}" = x86 ]; then
  system_dir='C:\windows\syswow64'
  script_host_arch=x86
  library_platform=win32  # the type library's registration subkey
else
  system_dir='C:\windows\system32'
  script_host_arch=AMD64
  library_platform=win64
fi
cscript="$system_dir\\cscript.exe"
regsvr32="$system_dir\\regsvr32.exe"
regtool="$system_dir\\reg.exe"
