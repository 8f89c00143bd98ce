<!-- #include file="deep/version.inc" -->
