<!-- #include file="../../outside.inc" -->
