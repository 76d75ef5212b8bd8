' 200,000 calls of a user function with two parameters (or as many as the first argument says).
Function add(a, b)
   add = a + b
End Function
n = 200000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
s = 0
For i = 1 To n
   s = add(s, 1)
Next
WScript.Echo s
