<% Response.Write "<!-- #include virtual=""/self.inc"" -->" %>
<!-- #include virtual="/self.inc" -->
