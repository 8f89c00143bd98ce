# Sourced by the policy test drivers: writes a policy in force into the prefix's store and
# the folder <work> (one site, D:\Web\Site1, allowed only Query), and removes it again when
# the driver exits. Needs $run (the Wine wrapper) and $work.
policy_key='HKLM\SOFTWARE\Tesmarin\Varnex'
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
remove_site_policy() { "$run" reg delete "$policy_key" /f >/dev/null 2>&1 || true; }

write_site_policy() {
  mkdir -p "$work"
  printf '[Settings]\r\nInstalled=Quillon\r\nApplied=Quillon\r\n' >"$work/Admin.ini"
  printf '[Path]\r\nSite1=D:\\Web\\Site1\r\n[Security]\r\nSite1=Quillon\r\n[Site1]\r\nQuillon=Query\r\n' \
    >"$work/WebSite.ini"
  trap remove_site_policy EXIT
  remove_site_policy
  "$run" reg add "$policy_key" /v InstallationPath /t REG_SZ /d "$(winpath "$work")" /f >/dev/null 2>&1
  "$run" reg add "$policy_key" /v EnableGardavo /t REG_DWORD /d 1 /f >/dev/null 2>&1
}
