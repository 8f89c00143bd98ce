# Sourced by the registration and package tests: prints our registry trees as the reg tool
# of the architecture under test shows them ($run, $regtool), with the module path $path
# written as <DLL> and its folder $folder as <DIR>. The trees: both ProgIDs, the class,
# the type library, and the keys named as arguments.
clsid='{3A21604A-75C7-4955-9ABF-55333D45F227}'
libid='{90AB047F-EBC7-4C79-A2A5-675D86AA07A5}'
dump() {
  for key in 'HKCR\Quillon.Ldap.1' 'HKCR\Quillon.Ldap' "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid" "$@"; do
    if out=$("$run" "$regtool" query "$key" /s 2>/dev/null); then
      printf '%s\n' "$out" | tr -d '\r' | sed '/^$/d'
    else
      echo "(no $key)"
    fi
  done | sed -e "s|$(printf '%s' "$path" | sed 's/[\\.]/\\&/g')|<DLL>|g" \
             -e "s|$(printf '%s' "$folder" | sed 's/[\\.]/\\&/g')|<DIR>|g"
}
