' A dictionary filled with 50,000 keys "k1".."k50000" (or as many as the first argument says),
' then every key looked up once.
n = 50000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
Set m = CreateObject("Scripting.Dictionary")
For i = 1 To n
   m("k" & i) = i
Next
s = 0
For i = 1 To n
   s = s + m("k" & i) Mod 7
Next
WScript.Echo s
