import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Click the night sky to send up fireworks. */
class Fireworks extends Sprite {
	var rockets:Array<{x:Float, y:Float, tx:Float, ty:Float, colour:Int}> = [];
	var sparks:Array<{x:Float, y:Float, vx:Float, vy:Float, life:Int, colour:Int}> = [];
	var layer = new Sprite();
	var frame = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0x06081F, 0x26306B);
		graphics.beginFill(0x1A1F40);
		for (i in 0...8) {
			var h = 40 + (i * 37) % 70;
			graphics.drawRect(i * 70, Kit.H - h, 60, h);
		}
		graphics.endFill();
		graphics.beginFill(0xFFE9A0);
		for (i in 0...8)
			for (k in 0...3)
				if ((i + k) % 2 == 0)
					graphics.drawRect(i * 70 + 10 + k * 16, Kit.H - 30, 8, 10);
		graphics.endFill();
		addChild(layer);
		addEventListener(MouseEvent.MOUSE_DOWN, function(_) launch(mouseX, mouseY));
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function launch(tx:Float, ty:Float) {
		rockets.push({x: tx + Kit.rand(60) - 30, y: Kit.H, tx: tx, ty: Math.min(ty, Kit.H - 80), colour: Kit.pick(Kit.colours)});
	}

	function tick(_) {
		frame++;
		if (frame % 40 == 1)
			launch(60 + Kit.rand(Kit.W - 120), 60 + Kit.rand(150));
		var g = layer.graphics;
		g.clear();
		for (r in rockets.copy()) {
			r.x += (r.tx - r.x) * 0.08;
			r.y -= 8;
			g.beginFill(0xFFFFFF);
			g.drawCircle(r.x, r.y, 3);
			g.endFill();
			g.beginFill(0xFFB400, 0.6);
			g.drawCircle(r.x, r.y + 8, 2);
			g.endFill();
			if (r.y <= r.ty) {
				rockets.remove(r);
				var n = 28;
				for (i in 0...n) {
					var a = i * Math.PI * 2 / n;
					var speed = 2 + (i % 3);
					sparks.push({x: r.x, y: r.y, vx: Math.cos(a) * speed, vy: Math.sin(a) * speed, life: 50, colour: i % 4 == 0 ? 0xFFFFFF : r.colour});
				}
			}
		}
		for (s in sparks.copy()) {
			s.x += s.vx;
			s.y += s.vy;
			s.vx *= 0.97;
			s.vy = s.vy * 0.97 + 0.06;
			if (--s.life <= 0) {
				sparks.remove(s);
				continue;
			}
			g.beginFill(s.colour, s.life / 50);
			g.drawCircle(s.x, s.y, 3);
			g.endFill();
		}
	}

	static function main() {
		Kit.start(new Fireworks());
	}
}
